#pragma once
// The camera's USB interface through libusb-1.0.
//
// A candidate interface is one of vendor-specific class (0xFF) in the device's active
// configuration with exactly one bulk OUT and one bulk IN endpoint. Each candidate is named
// "usb#vid_XXXX&pid_XXXX#BUS-PORTS" (lower-case hex, e.g. "usb#vid_1234&pid_0107#1-2.3"), so
// the discovery rules that look for "vid" and "pid" in a device path apply unchanged.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/block_device.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace kvr {

// Overrides the vendor id to accept: 1 to 4 hex digits, "0x" allowed; empty means unset.
inline constexpr const char* kUsbVendorEnvironment = "KVR_Q4_USB_VID";
// How long a transfer may wait for the device before any of its data has to move.
inline constexpr std::chrono::milliseconds kDefaultUsbTimeout{3000};
// Slowest bulk rate a working camera sustains (full-speed USB moves about 1 MB/s): a block is
// given this much extra time per byte, so a 436160-byte field may take 872 ms more to arrive.
inline constexpr size_t kSlowestBytesPerMs = 500;

// A USB vendor or product id written in hex ("1234", "0x04b4"); nothing when the text is not
// 1 to 4 hex digits.
std::optional<uint16_t> parse_usb_id(std::string_view text);

// Owns one libusb context; shared by the enumerator and every interface it opened, so the
// context outlives the last open handle.
class LibusbSession;

class LibusbBlockDevice : public BlockDevice {
  public:
    LibusbBlockDevice(std::shared_ptr<LibusbSession> session, libusb_device_handle* handle,
                      int interface_number, uint8_t endpoint_out, uint8_t endpoint_in,
                      bool reattach_kernel_driver, std::chrono::milliseconds timeout);
    ~LibusbBlockDevice() override;
    LibusbBlockDevice(const LibusbBlockDevice&) = delete;
    LibusbBlockDevice& operator=(const LibusbBlockDevice&) = delete;

    int write_block(const uint8_t* data, size_t length) override;
    int read_block(uint8_t* data, size_t length, size_t& received) override;

  private:
    // Moves `length` bytes through `endpoint`, looping until all have moved, the device fails,
    // or the block's deadline passes. `moved` counts the bytes that did move.
    int transfer(uint8_t endpoint, uint8_t* data, size_t length, size_t& moved);

    std::shared_ptr<LibusbSession> session_;
    libusb_device_handle* handle_;
    int interface_number_;
    uint8_t endpoint_out_;
    uint8_t endpoint_in_;
    bool reattach_kernel_driver_;
    std::chrono::milliseconds timeout_;
    bool gone_ = false;  // the device was unplugged: every later transfer fails with ENODEV
};

class LibusbEnumerator : public DeviceEnumerator {
  public:
    // `vendor_id`: the vendor to accept (any when unset); the environment variable
    // KVR_Q4_USB_VID, when set, takes its place. `timeout`: see kDefaultUsbTimeout.
    explicit LibusbEnumerator(std::optional<uint16_t> vendor_id = std::nullopt,
                              std::chrono::milliseconds timeout = kDefaultUsbTimeout);
    ~LibusbEnumerator() override;
    LibusbEnumerator(const LibusbEnumerator&) = delete;
    LibusbEnumerator& operator=(const LibusbEnumerator&) = delete;

    // Empty, or why begin() cannot work: libusb did not start, or KVR_Q4_USB_VID is not a
    // vendor id.
    const std::string& setup_error() const { return setup_error_; }
    std::optional<uint16_t> vendor_id() const { return vendor_id_; }

    bool begin() override;
    std::optional<DeviceInterfaceInfo> interface_at(int member_index) override;
    std::unique_ptr<BlockDevice> open(const DeviceInterfaceInfo& info, int& error) override;

  private:
    struct Candidate {
        DeviceInterfaceInfo info;
        libusb_device* device = nullptr;  // one reference held until the next begin()
        uint8_t bus = 0;
        std::vector<uint8_t> ports;  // hub ports from the root hub down
        int interface_number = 0;
        uint8_t endpoint_out = 0;
        uint8_t endpoint_in = 0;
        uint8_t manufacturer_index = 0;  // string descriptor indices, 0 when absent
        uint8_t product_index = 0;
    };

    void collect_candidates(libusb_device* device);
    void name_candidates();
    void release_candidates();

    std::shared_ptr<LibusbSession> session_;
    std::optional<uint16_t> vendor_id_;
    std::chrono::milliseconds timeout_;
    std::string setup_error_;
    std::vector<Candidate> candidates_;  // in member-index order
};

}  // namespace kvr
