// The libusb camera interface against fake devices on a umockdev bus.
#include "platform/libusb_device.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "fake_usb_bus.h"

namespace kvr::test {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr uint8_t kVendorClass = 0xFF;
constexpr uint8_t kHidClass = 0x03;

// A camera: a HID interface first, then its block interface.
FakeDeviceLayout camera_layout(std::string sysfs_name, uint8_t devnum, uint16_t vid, uint16_t pid) {
    FakeDeviceLayout s;
    s.sysfs_name = std::move(sysfs_name);
    s.device_number = devnum;
    s.vid = vid;
    s.pid = pid;
    s.manufacturer = "Example Optics";
    s.product = "Cooled CCD";
    s.interfaces = {{kHidClass, {{0x83, kInterrupt}}},
                    {kVendorClass, {{0x02, kBulk}, {0x81, kBulk}}}};
    return s;
}

std::vector<uint8_t> pattern(size_t length, uint32_t seed) {
    std::vector<uint8_t> v(length);
    uint32_t x = seed;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return v;
}

class UsbDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(umockdev_preload_active())
            << "these tests need the umockdev preload library: run them through ctest, or as "
               "LD_PRELOAD=libumockdev-preload.so.0 kvr_usb_tests";
        unsetenv(kUsbVendorEnvironment);
        bus_.add_hub("usb1", 1);
        bus_.add_hub("1-2", 2);
    }
    void TearDown() override { unsetenv(kUsbVendorEnvironment); }

    FakeUsbDevice& add_camera() { return bus_.add(camera_layout("1-2.3", 5, 0x1234, 0x0107)); }

    // Discovers with `vendor` and opens the first interface.
    std::unique_ptr<BlockDevice> open_first(std::optional<uint16_t> vendor,
                                            std::chrono::milliseconds timeout) {
        usb_ = std::make_unique<LibusbEnumerator>(vendor, timeout);
        if (!usb_->begin()) return nullptr;
        const auto info = usb_->interface_at(0);
        if (!info) return nullptr;
        int error = -1;
        auto device = usb_->open(*info, error);
        EXPECT_EQ(error, 0);
        return device;
    }

    FakeUsbBus bus_;  // first in, last out: libusb must be gone before the testbed
    std::unique_ptr<LibusbEnumerator> usb_;
};

TEST_F(UsbDeviceTest, ListsVendorClassBulkInterfacesWithPathsIdsAndStrings) {
    add_camera();
    // Same vendor, another product, no strings.
    FakeDeviceLayout other = camera_layout("1-4", 6, 0x1234, 0x0200);
    other.manufacturer.clear();
    other.product.clear();
    bus_.add(other);
    // Vendor-class interfaces without exactly one bulk pair are not block interfaces.
    FakeDeviceLayout odd = camera_layout("1-2.1", 7, 0x1234, 0x0107);
    odd.interfaces = {{kVendorClass, {{0x02, kInterrupt}, {0x81, kBulk}}},
                      {kVendorClass, {{0x03, kBulk}, {0x84, kBulk}, {0x85, kBulk}}},
                      {kHidClass, {{0x06, kBulk}, {0x87, kBulk}}}};
    bus_.add(odd);
    // Another vendor.
    bus_.add(camera_layout("1-5", 8, 0x0abc, 0x0107));

    LibusbEnumerator usb(0x1234);
    ASSERT_TRUE(usb.setup_error().empty()) << usb.setup_error();
    ASSERT_TRUE(usb.begin());
    const auto camera = usb.interface_at(0);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->path, "usb#vid_1234&pid_0107#1-2.3");
    EXPECT_EQ(camera->vid, 0x1234);
    EXPECT_EQ(camera->pid, 0x0107);
    EXPECT_EQ(camera->manufacturer, "Example Optics");
    EXPECT_EQ(camera->product, "Cooled CCD");
    const auto second = usb.interface_at(1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->path, "usb#vid_1234&pid_0200#1-4");
    EXPECT_EQ(second->pid, 0x0200);
    EXPECT_EQ(second->manufacturer, "");
    EXPECT_EQ(second->product, "");
    EXPECT_FALSE(usb.interface_at(2));
    EXPECT_FALSE(usb.interface_at(-1));
    EXPECT_FALSE(usb.interface_at(kMaxInterfaceMembers));

    // Discovery runs again from scratch with the same order.
    ASSERT_TRUE(usb.begin());
    EXPECT_EQ(usb.interface_at(0)->path, camera->path);
    EXPECT_EQ(usb.interface_at(1)->path, second->path);
}

TEST_F(UsbDeviceTest, VendorSettingAndItsEnvironmentOverride) {
    add_camera();
    bus_.add(camera_layout("1-5", 8, 0x0abc, 0x0042));

    LibusbEnumerator any;
    ASSERT_TRUE(any.begin());
    EXPECT_EQ(any.interface_at(0)->path, "usb#vid_1234&pid_0107#1-2.3");
    EXPECT_EQ(any.interface_at(1)->path, "usb#vid_0abc&pid_0042#1-5");

    setenv(kUsbVendorEnvironment, "0x0ABC", 1);
    LibusbEnumerator overridden(0x1234);
    EXPECT_EQ(overridden.vendor_id(), 0x0abc);
    ASSERT_TRUE(overridden.begin());
    EXPECT_EQ(overridden.interface_at(0)->path, "usb#vid_0abc&pid_0042#1-5");
    EXPECT_FALSE(overridden.interface_at(1));

    setenv(kUsbVendorEnvironment, "12345", 1);
    LibusbEnumerator invalid(0x1234);
    EXPECT_NE(invalid.setup_error().find("KVR_Q4_USB_VID"), std::string::npos);
    EXPECT_FALSE(invalid.begin());
    EXPECT_FALSE(invalid.interface_at(0));
}

TEST(UsbIdTest, ParsesHexIds) {
    EXPECT_EQ(parse_usb_id("0107"), 0x0107);
    EXPECT_EQ(parse_usb_id("fFfF"), 0xffff);
    EXPECT_EQ(parse_usb_id("0x1"), 0x0001);
    EXPECT_FALSE(parse_usb_id(""));
    EXPECT_FALSE(parse_usb_id("0x"));
    EXPECT_FALSE(parse_usb_id("10000"));
    EXPECT_FALSE(parse_usb_id("12g4"));
    EXPECT_FALSE(parse_usb_id("-1"));
}

TEST_F(UsbDeviceTest, OpenClaimsTheBlockInterfaceAndCloseReleasesIt) {
    FakeUsbDevice& camera = add_camera();
    auto device = open_first(0x1234, 1000ms);
    ASSERT_TRUE(device);
    EXPECT_EQ(camera.claimed_interfaces(), std::set<int>{1});
    device.reset();
    EXPECT_TRUE(camera.claimed_interfaces().empty());

    // An interface that is no longer listed cannot be opened.
    DeviceInterfaceInfo stale;
    stale.path = "usb#vid_1234&pid_0107#1-9";
    int error = 0;
    EXPECT_FALSE(usb_->open(stale, error));
    EXPECT_EQ(error, ENODEV);
}

TEST_F(UsbDeviceTest, KernelDriverIsDetachedForTheClaimAndGivenBackAfter) {
    FakeDeviceLayout layout = camera_layout("1-2.3", 5, 0x1234, 0x0107);
    layout.driver_bound = {0, 1};
    FakeUsbDevice& camera = bus_.add(layout);
    auto device = open_first(0x1234, 1000ms);
    ASSERT_TRUE(device);
    EXPECT_EQ(camera.claimed_interfaces(), std::set<int>{1});
    EXPECT_EQ(camera.driver_bound_interfaces(), std::set<int>{0});
    device.reset();
    EXPECT_TRUE(camera.claimed_interfaces().empty());
    EXPECT_EQ(camera.driver_bound_interfaces(), (std::set<int>{0, 1}));
}

TEST_F(UsbDeviceTest, TwoBlockInterfacesOnOneDeviceAreTwoMembers) {
    FakeDeviceLayout layout = camera_layout("1-2.3", 5, 0x1234, 0x0107);
    layout.interfaces.push_back({kVendorClass, {{0x84, kBulk}, {0x05, kBulk}}});
    FakeUsbDevice& camera = bus_.add(layout);
    LibusbEnumerator usb(0x1234, 1000ms);
    ASSERT_TRUE(usb.begin());
    ASSERT_TRUE(usb.interface_at(1));
    EXPECT_EQ(usb.interface_at(0)->path, "usb#vid_1234&pid_0107#1-2.3");
    EXPECT_EQ(usb.interface_at(1)->path, "usb#vid_1234&pid_0107#1-2.3:2");
    int error = -1;
    auto second = usb.open(*usb.interface_at(1), error);
    ASSERT_TRUE(second);
    EXPECT_EQ(camera.claimed_interfaces(), std::set<int>{2});
    const uint8_t command[64] = {0x42};
    EXPECT_EQ(second->write_block(command, sizeof command), 0);
    EXPECT_EQ(camera.out_bytes().at(0), 0x42);
}

TEST_F(UsbDeviceTest, CommandBlockGoesOutWhole) {
    FakeUsbDevice& camera = add_camera();
    auto device = open_first(0x1234, 1000ms);
    ASSERT_TRUE(device);
    const std::vector<uint8_t> block = pattern(64, 7);
    EXPECT_EQ(device->write_block(block.data(), block.size()), 0);
    EXPECT_EQ(camera.out_bytes(), block);
}

TEST_F(UsbDeviceTest, FullFieldComesInWhole) {
    FakeUsbDevice& camera = add_camera();
    auto device = open_first(0x1234, 2000ms);
    ASSERT_TRUE(device);
    const std::vector<uint8_t> field = pattern(kMaxBlockBytes, 11);
    camera.queue_in(field);
    std::vector<uint8_t> buffer(kMaxBlockBytes + 16, 0xEE);
    size_t received = 0;
    EXPECT_EQ(device->read_block(buffer.data(), kMaxBlockBytes, received), 0);
    EXPECT_EQ(received, kMaxBlockBytes);
    EXPECT_TRUE(std::equal(field.begin(), field.end(), buffer.begin()));
    EXPECT_EQ(buffer[kMaxBlockBytes], 0xEE) << "read past the block";
}

TEST_F(UsbDeviceTest, StarvedReadTimesOutOnScheduleAndTheNextReadWorks) {
    FakeUsbDevice& camera = add_camera();
    auto device = open_first(0x1234, 300ms);
    ASSERT_TRUE(device);
    uint8_t reply[64] = {};
    size_t received = 99;
    const auto start = SteadyClock::now();
    EXPECT_EQ(device->read_block(reply, sizeof reply, received), ETIMEDOUT);
    const auto waited = SteadyClock::now() - start;
    EXPECT_EQ(received, 0u);
    EXPECT_GE(waited, 290ms);
    EXPECT_LT(waited, 2000ms);

    const std::vector<uint8_t> answer = pattern(sizeof reply, 3);
    camera.queue_in(answer);
    EXPECT_EQ(device->read_block(reply, sizeof reply, received), 0);
    EXPECT_EQ(received, sizeof reply);
    EXPECT_TRUE(std::equal(answer.begin(), answer.end(), reply));
}

TEST_F(UsbDeviceTest, BlockThatStopsShortIsAnErrorWithWhatArrived) {
    FakeUsbDevice& camera = add_camera();
    auto device = open_first(0x1234, 300ms);
    ASSERT_TRUE(device);
    // The device sends a field in pieces that end short of the packet size; the pieces are
    // gathered into one block.
    const std::vector<uint8_t> field = pattern(40000, 5);
    camera.queue_in({field.begin(), field.begin() + 1000});
    std::vector<uint8_t> buffer(field.size());
    size_t received = 0;
    std::thread rest([&] {
        std::this_thread::sleep_for(100ms);
        camera.queue_in({field.begin() + 1000, field.end()});
    });
    EXPECT_EQ(device->read_block(buffer.data(), buffer.size(), received), 0);
    rest.join();
    EXPECT_EQ(received, field.size());
    EXPECT_TRUE(buffer == field);

    // Only part of the block ever comes: EIO once the time is up, with the part kept.
    camera.queue_in({field.begin(), field.begin() + 700});
    EXPECT_EQ(device->read_block(buffer.data(), buffer.size(), received), EIO);
    EXPECT_EQ(received, 700u);
    EXPECT_TRUE(std::equal(field.begin(), field.begin() + 700, buffer.begin()));
}

TEST_F(UsbDeviceTest, StalledEndpointReportsEpipeAndIsCleared) {
    FakeUsbDevice& camera = add_camera();
    auto device = open_first(0x1234, 1000ms);
    ASSERT_TRUE(device);
    camera.stall_next_in();
    uint8_t reply[64];
    size_t received = 0;
    EXPECT_EQ(device->read_block(reply, sizeof reply, received), EPIPE);
    EXPECT_EQ(camera.halts_cleared(), 1);
    camera.queue_in(pattern(sizeof reply, 1));
    EXPECT_EQ(device->read_block(reply, sizeof reply, received), 0);
}

TEST_F(UsbDeviceTest, UnpluggedDeviceFailsItsTransfersWithoutHanging) {
    FakeUsbDevice& camera = add_camera();
    auto device = open_first(0x1234, 5000ms);
    ASSERT_TRUE(device);
    std::thread unplug([&] {
        std::this_thread::sleep_for(200ms);
        bus_.remove(camera);
    });
    uint8_t field[4096];
    size_t received = 99;
    const auto start = SteadyClock::now();
    const int read_error = device->read_block(field, sizeof field, received);
    const auto waited = SteadyClock::now() - start;
    unplug.join();
    EXPECT_EQ(read_error, ENODEV);
    EXPECT_EQ(received, 0u);
    EXPECT_LT(waited, 4000ms) << "the read waited for its timeout instead of seeing the unplug";

    const uint8_t command[64] = {};
    EXPECT_EQ(device->write_block(command, sizeof command), ENODEV);
    EXPECT_EQ(device->read_block(field, sizeof field, received), ENODEV);

    // The next discovery no longer lists it (the removal reaches libusb asynchronously).
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        ASSERT_TRUE(usb_->begin());
        gone = !usb_->interface_at(0);
        if (!gone) std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(gone);
    device.reset();
}

}  // namespace
}  // namespace kvr::test
