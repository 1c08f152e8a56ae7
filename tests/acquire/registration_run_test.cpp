// Multi-frame runs register and add their frames while the sky drifts across the sensor.
#include <gtest/gtest.h>

#include <algorithm>

#include "acquire/sim_run.h"
#include "core/program.h"

namespace kvr::test {
namespace {

// 20 full-frame pixels a second to the right: 2 binned pixels in each 0.2 s frame.
void drifting(sim::CameraConfig& c) {
    quiet_camera(c);
    c.drift_x_px_per_s = 20.0;
}

class RegistrationRunTest : public SimRunTest {
  protected:
    RegistrationRunTest() : SimRunTest(drifting) {}

    // Brightest pixel near binned (x, y), and where it is.
    uint16_t peak_near(int x, int y, int& at_x) const {
        uint16_t best = 0;
        for (int yy = y - 6; yy <= y + 6; ++yy)
            for (int xx = x - 10; xx <= x + 10; ++xx)
                if (pixel(xx, yy) > best) {
                    best = pixel(xx, yy);
                    at_x = xx;
                }
        return best;
    }
};

TEST_F(RegistrationRunTest, ThreeDriftingFramesAreRegisteredAndSummed) {
    // One frame alone: 0.2 s; the star's peak over the sky.
    take_photo("click 703 edit 105 2");
    int single_x = 0;
    const int single = peak_near(188, 129, single_x) - pixel(20, 20);

    pick_focus_star();
    const std::string out = take_photo(
        "click 703 edit 105 2 scroll 111 linedown "
        "scroll 111 linedown");
    EXPECT_EQ(out.find("message 3"), std::string::npos) << out;  // neither 33 nor 34
    ASSERT_EQ(reads().size(), 4u);
    // Each frame moved 2 binned pixels; the sum sits where the last frame saw the star.
    int sum_x = 0;
    const int summed = peak_near(188 + 4, 129, sum_x) - pixel(20, 20);
    EXPECT_GE(sum_x, single_x + 4);
    EXPECT_NEAR(summed, 3.0 * single, 0.2 * single);
    EXPECT_TRUE(std::equal(p.buf->image_int, p.buf->image_int + p.geo.intlength, p.buf->trial_int));
    // The finish clears the registration for the next run.
    EXPECT_EQ(p.run.orig_x, 0);
    EXPECT_EQ(p.run.orig_avg, 0);
}

TEST_F(RegistrationRunTest, ProfileMethodAddsTheFramesInTheFirstFramesPlace) {
    take_photo("click 703 edit 105 2");
    // The brightest star of the profile window (columns 200 … 299, rows 100 … 199).
    int sx = 200, sy = 100;
    for (int y = 100; y < 200; ++y)
        for (int x = 200; x < 300; ++x)
            if (pixel(x, y) > pixel(sx, sy)) sx = x, sy = y;
    const int sky = pixel(20, 20);
    const int single = pixel(sx, sy) - sky;
    ASSERT_GT(single, 1000) << "no star in the profile window";

    const std::string out = take_photo(
        "click 115 click 703 edit 105 2 scroll 111 linedown "
        "scroll 111 linedown");
    EXPECT_EQ(out.find("message 3"), std::string::npos) << out;
    // The run's first frame saw the star 2 pixels on; the sum stays there.
    int at_x = 0;
    const int summed = peak_near(sx + 2, sy, at_x) - pixel(20, 20);
    EXPECT_EQ(at_x, sx + 2);
    EXPECT_NEAR(summed, 3.0 * single, 0.25 * single);
}

TEST_F(RegistrationRunTest, AveragedRunKeepsTheLevelOfOneFrame) {
    take_photo("click 703 edit 105 2");
    const int sky = pixel(20, 20);
    pick_focus_star();
    take_photo("click 106 click 703 edit 105 2 scroll 111 linedown scroll 111 linedown");
    EXPECT_NEAR(pixel(20, 20), sky, 3);
}

}  // namespace
}  // namespace kvr::test
