// The program's camera link against the simulated camera: discovery, the model query and the
// reads the acquisition and guiding code use, end to end through the block device.
#include <algorithm>

#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "camera/usb_link.h"
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
    ASSERT_TRUE(KV_wiper(p));
    clock.advance(2000);
    p.readout.exposure = 2000;
    p.readout.ccd_frame = 1;
    p.readout.interlaced_line = 0;
    ASSERT_TRUE(KV_first_read(p));
    EXPECT_EQ(p.readout.download_time, 2900);
    // Field 1 went into the even rows: sky and stars above the 400-count bias.
    const uint16_t* image = p.buf->image_int;
    EXPECT_GT(*std::max_element(image, image + 752 * 580), 10000);
    EXPECT_GT(image[100], 400);
    EXPECT_EQ(take_output(), "");
}

TEST_F(SimCameraLinkTest, FocusLoopFindsTheFocusStar) {
    ASSERT_TRUE(find_camera(p));
    p.run.exp_value = 1;
    p.run.exp_range = 's';
    p.readout.ccd_frame = 1;
    const auto peak = KV_camera_read(p);
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
    ASSERT_TRUE(KV_wiper(p));
    p.readout.exposure = 500;
    ASSERT_TRUE(KV_binned_read(p));
    const uint16_t* image = p.buf->image_int;
    EXPECT_GT(*std::max_element(image, image + 376 * 290), 5000);

    ASSERT_TRUE(KV_guider_camera_read(p));
    const uint16_t* guider = p.buf->image_guider_int;
    EXPECT_GT(*std::max_element(guider, guider + 500 * 290), 50 * 256);
    EXPECT_EQ(take_output(), "");
}

}  // namespace
}  // namespace kvr::sim::test
