#pragma once
// A fake USB bus that unmodified libusb talks to: umockdev presents each device in sysfs and
// /dev/bus/usb, and the device answers the usbdevfs requests libusb makes (claims, control
// requests for string descriptors, bulk URBs). The answers run on umockdev's own thread, so a
// device's state is behind its mutex. Needs the process to run under libumockdev-preload.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/block_device.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace kvr::test {

inline constexpr uint8_t kBulk = 0x02;
inline constexpr uint8_t kInterrupt = 0x03;

struct FakeEndpoint {
    uint8_t address;     // bit 7 set: IN
    uint8_t attributes;  // transfer type: kBulk, kInterrupt
};

struct FakeInterface {
    uint8_t interface_class;
    std::vector<FakeEndpoint> endpoints;
};

struct FakeDeviceLayout {
    std::string sysfs_name;  // "1-2.3": bus 1, port 2 of the root hub, then port 3
    uint8_t device_number = 0;
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint8_t device_class = 0;
    std::string manufacturer;  // empty: the device has no such string
    std::string product;
    std::vector<FakeInterface> interfaces;
    std::set<int> driver_bound;  // interfaces a kernel driver holds when the device appears
};

// The device and configuration descriptors of `layout`, as sysfs shows them.
std::vector<uint8_t> descriptors_of(const FakeDeviceLayout& layout);

class FakeUsbDevice {
  public:
    explicit FakeUsbDevice(FakeDeviceLayout layout);
    ~FakeUsbDevice();
    FakeUsbDevice(const FakeUsbDevice&) = delete;
    FakeUsbDevice& operator=(const FakeUsbDevice&) = delete;

    const FakeDeviceLayout& layout() const { return layout_; }
    std::string devnode() const;
    UMockdevIoctlBase* handler() const { return handler_; }

    // Bytes the device will send on its bulk IN endpoint, in order.
    void queue_in(const std::vector<uint8_t>& bytes);
    // Everything the host wrote to the bulk OUT endpoint so far.
    std::vector<uint8_t> out_bytes();
    // The next bulk IN request ends with a stall (EPIPE) instead of data.
    void stall_next_in();
    // As the kernel does on unplug: requests in flight end with ESHUTDOWN, and every request
    // after that fails with ENODEV.
    void unplug();
    // Makes the device answer as `device` does (not owned): what the host writes goes to it, and
    // each bulk IN request takes what its read gives, while it has something to give. Its errors
    // become the bus's: EPIPE stalls the endpoint, ENODEV unplugs the device, and a read with
    // nothing to send leaves the request waiting until the host gives up.
    void answer_with(BlockDevice* device, std::function<bool()> has_reply);

    std::set<int> claimed_interfaces();
    std::set<int> driver_bound_interfaces();
    int halts_cleared();

  private:
    struct Urb {
        UMockdevIoctlData* urb = nullptr;     // the usbdevfs_urb (our reference)
        UMockdevIoctlData* buffer = nullptr;  // its data buffer (our reference)
    };

    static void release(Urb& urb);
    static int on_ioctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    bool handle(UMockdevIoctlClient* client);
    void get_driver(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void driver_request(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void answer_control(Urb urb);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void serve_pending_in();
    bool serve_from_responder(Urb u);
    void finish(Urb urb, int status, const uint8_t* data, size_t length);
    std::vector<uint8_t> string_descriptor(uint8_t index) const;

    FakeDeviceLayout layout_;
    UMockdevIoctlBase* handler_;
    std::mutex mutex_;
    std::deque<Urb> pending_in_;  // bulk IN requests waiting for device data
    std::deque<Urb> finished_;    // requests ready to reap
    std::vector<uint8_t> in_data_;
    size_t in_sent_ = 0;
    std::vector<uint8_t> out_data_;
    bool stall_in_ = false;
    bool unplugged_ = false;
    std::set<int> claimed_;
    std::set<int> driver_bound_;
    int halts_cleared_ = 0;
    BlockDevice* responder_ = nullptr;
    std::function<bool()> responder_has_reply_;
    std::vector<uint8_t> responder_buffer_;
};

class FakeUsbBus {
  public:
    // Creates the testbed; libusb must start after this.
    FakeUsbBus();
    ~FakeUsbBus();
    FakeUsbBus(const FakeUsbBus&) = delete;
    FakeUsbBus& operator=(const FakeUsbBus&) = delete;

    // A hub ("usb1" is the root hub of bus 1), so that devices below it have port paths.
    void add_hub(const std::string& sysfs_name, uint8_t device_number);
    FakeUsbDevice& add(const FakeDeviceLayout& layout);
    // Unplugs the device and takes it out of sysfs.
    void remove(FakeUsbDevice& device);

  private:
    void add_to_testbed(const FakeDeviceLayout& layout);

    UMockdevTestbed* testbed_;
    std::vector<std::unique_ptr<FakeUsbDevice>> devices_;
};

// True when the umockdev preload library is active in this process.
bool umockdev_preload_active();

}  // namespace kvr::test
