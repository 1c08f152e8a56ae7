#pragma once
// The seam to the camera's USB interface.
//
// DeviceEnumerator lists the candidate interfaces of the camera's interface class by member
// index and opens one; BlockDevice moves whole blocks to and from the open interface. The real
// implementation is libusb (platform/), the simulated one is sim::Camera.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kvr {

// Highest member index discovery looks at.
inline constexpr int kMaxInterfaceMembers = 20;
// The largest block moved in one transfer: a full-width field of 752 × 290 16-bit pixels.
inline constexpr size_t kMaxBlockBytes = 436160;

struct DeviceInterfaceInfo {
    // Contains "vid_XXXX" and "pid_XXXX" (lower-case "vid"/"pid", 4 hex digits each), e.g.
    // "usb#vid_1234&pid_0107#1-2".
    std::string path;
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::string manufacturer;  // empty when the device has none
    std::string product;
};

class BlockDevice {
  public:
    virtual ~BlockDevice() = default;
    // One synchronous write of `length` bytes. Returns 0 on success, else a system error number
    // (errno value: EIO, ETIMEDOUT, ENODEV, ...). Never blocks longer than the device's timeout.
    virtual int write_block(const uint8_t* data, size_t length) = 0;
    // One synchronous read of up to `length` bytes into `data`; `received` is the number of
    // bytes that arrived (also on failure). Returns 0 when `length` bytes arrived, else a system
    // error number (a short read is EIO).
    virtual int read_block(uint8_t* data, size_t length, size_t& received) = 0;
};

class DeviceEnumerator {
  public:
    virtual ~DeviceEnumerator() = default;
    // Starts a fresh enumeration; false when the platform cannot list devices at all.
    virtual bool begin() = 0;
    // The interface at `member_index` (0 … 19), or nothing when there is none at that index.
    virtual std::optional<DeviceInterfaceInfo> interface_at(int member_index) = 0;
    // Opens an interface returned by interface_at; nullptr (and `error` set to an errno value)
    // when it cannot be opened.
    virtual std::unique_ptr<BlockDevice> open(const DeviceInterfaceInfo& info, int& error) = 0;
};

}  // namespace kvr
