// The program's camera link against the simulated camera: discovery, the model query and the
// reads the acquisition and guiding code use, end to end through the block device.
#include <algorithm>
#include <cmath>

#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "camera/usb_link.h"
#include "scope/filter_wheel.h"
#include "sim/camera_enumerator.h"
#include "support/test_program.h"

namespace kvr::sim::test {
namespace {

class SimCameraLinkTest : public kvr::test::ProgramTest {
  protected:
    SimCameraLinkTest() {
        CameraConfig config;
        bus = std::make_shared<CameraEnumerator>(clock, config);
        p.devices = bus;
    }
    std::shared_ptr<CameraEnumerator> bus;
};

TEST_F(SimCameraLinkTest, DiscoveryFindsTheCameraAndItsModel) {
    ASSERT_TRUE(find_camera(p));
    EXPECT_EQ(p.link.got_kv, 1);
    EXPECT_STREQ(p.link.kv_pid, "0107");
    EXPECT_EQ(static_cast<uint16_t>(p.link.camtype), Camera::kModelCode);
    EXPECT_EQ(take_output(), "");
}

TEST_F(SimCameraLinkTest, FirstLongFieldReadMeasuresTheDownloadTime) {
    ASSERT_TRUE(find_camera(p));
    ASSERT_TRUE(wiper(p));
    clock.advance(2000);
    p.readout.exposure = 2000;
    p.readout.ccd_frame = 1;
    p.readout.interlaced_line = 0;
    ASSERT_TRUE(first_read(p));
    EXPECT_EQ(p.readout.download_time, 2900);
    // Field 1 went into the even rows: sky and stars above the 400-count bias.
    const uint16_t* image = p.buf->image_int;
    EXPECT_GT(*std::max_element(image, image + 752 * 580), 10000);
    EXPECT_GT(image[100], 400);
    // A camera-timed read (600 ms) waits out its exposure on the camera before the transfer:
    // only the transfer counts.
    p.readout.download_time = 3000;
    p.readout.exposure = 600;
    ASSERT_TRUE(first_read(p));
    EXPECT_EQ(p.readout.download_time, 2900);
    EXPECT_EQ(take_output(), "");
}

TEST_F(SimCameraLinkTest, FocusLoopFindsTheFocusStar) {
    ASSERT_TRUE(find_camera(p));
    p.run.exp_value = 1;
    p.run.exp_range = 's';
    p.readout.ccd_frame = 1;
    const auto peak = camera_read(p);
    ASSERT_TRUE(peak.has_value());
    // The planted star sits in the middle of the default window, bright but not saturated, a
    // few pixels wide at half maximum.
    EXPECT_GT(*peak, 10000);
    EXPECT_LT(*peak, 65535);
    EXPECT_NEAR(p.readout.max_x, 64, 6);
    EXPECT_NEAR(p.readout.max_y, 64, 6);
    EXPECT_GE(p.readout.focus_FWHM, 2);
    EXPECT_LE(p.readout.focus_FWHM, 5);
}

TEST_F(SimCameraLinkTest, BinnedAndGuiderFramesArrive) {
    ASSERT_TRUE(find_camera(p));
    ASSERT_TRUE(wiper(p));
    p.readout.exposure = 500;
    ASSERT_TRUE(binned_read(p));
    const uint16_t* image = p.buf->image_int;
    EXPECT_GT(*std::max_element(image, image + 376 * 290), 5000);

    ASSERT_TRUE(guider_camera_read(p));
    const uint16_t* guider = p.buf->image_guider_int;
    EXPECT_GT(*std::max_element(guider, guider + 500 * 290), 50 * 256);
    EXPECT_EQ(take_output(), "");
}

TEST_F(SimCameraLinkTest, InterlacedFrameShowsTheBrightStarsWhereTheSkyPlacedThem) {
    ASSERT_TRUE(find_camera(p));
    p.readout.binned = 0;
    set_readout_geometry(p);
    ASSERT_TRUE(wiper(p));
    clock.advance(2000);
    p.readout.exposure = 2000;
    p.readout.ccd_frame = 1;
    p.readout.interlaced_line = 0;
    ASSERT_TRUE(first_read(p));  // field 1 into the even rows
    p.readout.ccd_frame = 2;
    p.readout.interlaced_line = 1;
    ASSERT_TRUE(first_read(p));  // field 2 into the odd rows
    const uint16_t* image = p.buf->image_int;
    auto stars = bus->camera().main_sensor_stars(clock.ms());
    std::sort(stars.begin(), stars.end(), [](const SensorStar& a, const SensorStar& b) {
        return a.flux_adu_per_s > b.flux_adu_per_s;
    });
    int checked = 0;
    for (const SensorStar& s : stars) {
        if (checked == 5) break;
        if (s.x < 8 || s.x > 743 || s.y < 8 || s.y > 571) continue;
        if (s.flux_adu_per_s > 1.5e5) continue;  // saturated cores have no single brightest pixel
        bool alone = true;
        for (const SensorStar& o : stars)
            if (&o != &s && std::hypot(o.x - s.x, o.y - s.y) < 10) alone = false;
        if (!alone) continue;
        // The brightest pixel of a box around the catalogue position is the star's own.
        int best_x = 0, best_y = 0;
        uint16_t best = 0;
        for (int y = static_cast<int>(s.y) - 5; y <= static_cast<int>(s.y) + 5; ++y)
            for (int x = static_cast<int>(s.x) - 5; x <= static_cast<int>(s.x) + 5; ++x)
                if (image[y * 752 + x] > best) best = image[y * 752 + x], best_x = x, best_y = y;
        EXPECT_NEAR(best_x + 0.5, s.x, 1.5) << s.flux_adu_per_s;
        EXPECT_NEAR(best_y + 0.5, s.y, 1.5) << s.flux_adu_per_s;
        EXPECT_GT(best, 2 * image[(static_cast<int>(s.y) + 20) % 580 * 752 + 20]);
        ++checked;
    }
    EXPECT_EQ(checked, 5);
}

TEST_F(SimCameraLinkTest, FilterWheelCommandReachesItsSerialPort) {
    struct WheelPort : CameraPorts {
        void relays_changed(uint16_t, int64_t) override {}
        void serial_write(uint16_t port, const uint8_t* bytes, size_t count, int64_t) override {
            written_port = port;
            written.assign(bytes, bytes + count);
        }
        void serial_read(uint16_t, uint8_t* out, size_t count, int64_t) override {
            std::fill_n(out, count, uint8_t{0});
        }
        int written_port = -1;
        std::vector<uint8_t> written;
    };
    auto wheel = std::make_shared<WheelPort>();
    bus->camera().attach_ports(wheel);
    ASSERT_TRUE(find_camera(p));
    p.settings.Max_Filters = 7;
    p.scope.Filterbox_Filter = 7;
    filter_next(p);  // wraps to filter 1
    EXPECT_EQ(wheel->written_port, p.settings.filter_wheel_comport);
    EXPECT_EQ(wheel->written, (std::vector<uint8_t>{0xA5, 0x01, 0x01, 0xA7}));
    filter_previous(p);  // back to 7
    EXPECT_EQ(wheel->written, (std::vector<uint8_t>{0xA5, 0x01, 0x07, 0xAD}));
    p.scope.Filterbox_Filter = 8;  // only positions 1 … 7 are driven
    wheel->written.clear();
    EXPECT_FALSE(change_filterbox_filter(p));
    EXPECT_TRUE(wheel->written.empty());
}

}  // namespace
}  // namespace kvr::sim::test
