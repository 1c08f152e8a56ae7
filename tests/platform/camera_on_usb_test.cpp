// Exposures through libusb and the umockdev bus against the simulated camera, with faults
// half-way through a full-frame field: a stall, an unplug and a block that stops short. Each is
// reported, leaves the image on screen as it was and hangs nothing; the camera plugged in again
// is found by the next exposure, which works.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "camera/usb_link.h"
#include "core/program.h"
#include "fake_usb_bus.h"
#include "platform/libusb_device.h"
#include "sim/camera.h"
#include "sim/sim_config.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using namespace std::chrono_literals;
using sim::CameraFaultKind;

sim::CameraConfig instant_camera() {
    sim::CameraConfig c;
    c.behaviour.download_ms_per_field = 0;
    // Stalls, unplugs and short blocks half-way through fields 2, 4 and 6.
    c.behaviour.faults = {{CameraFaultKind::Stall, 2, 5000},
                          {CameraFaultKind::Unplug, 4, 5000},
                          {CameraFaultKind::ShortBlock, 6, 5000}};
    return c;
}

class CameraOnUsbTest : public ProgramTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(umockdev_preload_active()) << "run through ctest (umockdev preload)";
        unsetenv(kUsbVendorEnvironment);
        bus_.add_hub("usb1", 1);
        bus_.add_hub("1-2", 2);
        plug(5);
        p.devices = std::make_shared<LibusbEnumerator>(std::nullopt, 300ms);
        run_script("set highres_intl 1\nset binned 0\nset download_time 0\n");
    }
    void TearDown() override {
        // libusb goes before the bus it runs on.
        close_usb_device(p);
        p.devices.reset();
    }
    void plug(uint8_t device_number) {
        FakeDeviceLayout s;
        s.sysfs_name = "1-2.3";
        s.device_number = device_number;
        s.vid = 0x1a2b;
        s.pid = 0x0107;
        s.manufacturer = "Example Optics";
        s.product = "Cooled CCD";
        s.interfaces = {{0x03, {{0x83, kInterrupt}}}, {0xFF, {{0x02, kBulk}, {0x81, kBulk}}}};
        device_ = &bus_.add(s);
        device_->answer_with(&camera_, [this] { return camera_.has_reply(); });
    }
    // An interlaced one-second frame; returns what the run printed.
    std::string take_photo() { return run_script("dialog 7 click 704 click 1\ncommand 12\n"); }
    std::vector<uint16_t> image() const {
        return {p.buf->image_int, p.buf->image_int + kFullWidth * kFullHeight};
    }

    FakeUsbBus bus_;
    sim::CameraConfig config_ = instant_camera();
    sim::Camera camera_{sim::make_sky(clock, config_), config_};
    FakeUsbDevice* device_ = nullptr;
};

size_t count(const std::string& text, const std::string& line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

TEST_F(CameraOnUsbTest, FaultsMidFieldAreReportedAndTheCameraComesBack) {
    const std::string shown = "caption: KVR_Q4_USB - QX Camera Image";
    const auto before = image();
    std::string out = take_photo();
    EXPECT_EQ(count(out, "message 50: Error 32 trying to read KVRIO data from USB"), 1u) << out;
    EXPECT_EQ(count(out, shown), 0u);
    EXPECT_TRUE(image() == before);

    out = take_photo();
    EXPECT_EQ(count(out, "message 50: Error 19 trying to read KVRIO data from USB"), 1u) << out;
    EXPECT_EQ(p.link.got_kv, 0);
    EXPECT_TRUE(image() == before);

    bus_.remove(*device_);
    out = run_script("command 12\n");
    EXPECT_EQ(count(out, "message 50: Sorry, No camera found on USB"), 1u) << out;

    // Plugged in again with a new device number, after the camera's 5 s away.
    run_script("wait 6000\n");
    plug(6);
    const auto start = std::chrono::steady_clock::now();
    out = take_photo();
    EXPECT_EQ(count(out, "message 50: Error 5 trying to read KVRIO data from USB"), 1u) << out;
    EXPECT_TRUE(image() == before);
    // The short block ends when the host's time for it is up, not later.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    out = take_photo();
    EXPECT_EQ(count(out, "message"), 0u) << out;
    EXPECT_EQ(count(out, shown), 1u) << out;
    EXPECT_FALSE(image() == before);
}

}  // namespace
}  // namespace kvr::test
