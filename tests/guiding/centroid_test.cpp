// Star centroids on main-camera and guider frames, and the placing of the guide sub-frame.
#include "guiding/centroid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class CentroidTest : public ProgramTest {
  protected:
    CentroidTest() : frame(kFrameBufferLength, 1000), guider(kGuiderBufferLength, 1000) {}

    // A round star of peak `peak` above the background, centred at (cx, cy).
    static void add_star(std::vector<uint16_t>& img, int width, int height, double cx, double cy,
                         double peak, double sigma = 1.2) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                const double v = img[y * width + x] + peak * std::exp(-d2 / (2 * sigma * sigma));
                img[y * width + x] = static_cast<uint16_t>(std::min(v, 65535.0));
            }
    }
    int centre(int x, int y, int rad = 8) { return find_centre(p, x, y, frame.data(), rad); }
    double main_x() const { return p.guide.xcent + 0.1 * p.guide.xcentdec; }
    double main_y() const { return p.guide.ycent + 0.1 * p.guide.ycentdec; }
    double guider_x() const { return p.guide.guider_xcent + 0.1 * p.guide.guider_xcentdec; }
    double guider_y() const { return p.guide.guider_ycent + 0.1 * p.guide.guider_ycentdec; }

    std::vector<uint16_t> frame;   // binned geometry: 376 × 290
    std::vector<uint16_t> guider;  // 500 × 290
};

TEST_F(CentroidTest, RoundedCentreOfAStarNearTheStart) {
    add_star(frame, 376, 290, 100.3, 60.8, 20000);
    EXPECT_EQ(centre(98, 62), 0);
    EXPECT_EQ(p.guide.xcent, 100);
    EXPECT_EQ(p.guide.ycent, 61);
    EXPECT_EQ(p.guide.xcentdec, 0);
    EXPECT_EQ(p.guide.ycentdec, 0);
}

TEST_F(CentroidTest, TenthsWhileSelfGuidingUnlessSmallErrorsAreIgnored) {
    add_star(frame, 376, 290, 100.3, 60.8, 20000);
    p.guide.selfguiding = 1;
    ASSERT_EQ(centre(100, 61), 0);
    EXPECT_NEAR(main_x(), 100.3, 0.15);
    EXPECT_NEAR(main_y(), 60.8, 0.15);
    EXPECT_EQ(p.guide.ycent, 60);
    p.settings.ignore_small = 1;
    ASSERT_EQ(centre(100, 61), 0);
    EXPECT_EQ(p.guide.ycent, 61);
    EXPECT_EQ(p.guide.ycentdec, 0);
}

TEST_F(CentroidTest, SingleBrightPixelIsItsOwnCentre) {
    frame[70 * 376 + 103] = 30000;
    ASSERT_EQ(centre(100, 68, 4), 0);
    EXPECT_EQ(p.guide.xcent, 103);
    EXPECT_EQ(p.guide.ycent, 70);
}

TEST_F(CentroidTest, BoxMustFitTheImageExactly) {
    // startx + rad + 1 = width is the last accepted position.
    frame[100 * 376 + 370] = 30000;
    EXPECT_EQ(centre(367, 100), 0);
    EXPECT_EQ(centre(368, 100), 1);
    EXPECT_EQ(centre(8, 8), 0);
    EXPECT_EQ(centre(7, 100), 1);
    EXPECT_EQ(centre(100, 281), 0);
    EXPECT_EQ(centre(100, 282), 1);
    const std::string out = take_output();
    EXPECT_EQ(
        occurrences(out, "box KVR_Q4  - Find Centre: Find centre failed - outside image area"), 3);
}

TEST_F(CentroidTest, FlatBoxFindsNothingAndKeepsThePreviousResult) {
    p.guide.xcent = 11;
    p.guide.ycent = 12;
    EXPECT_EQ(centre(100, 100), 0);
    EXPECT_EQ(p.guide.xcent, 11);
    EXPECT_EQ(p.guide.ycent, 12);
    EXPECT_NE(take_output().find("Sorry, Nothing found to centre on - exposure continuing"),
              std::string::npos);
    p.guide.selfguiding = 1;
    EXPECT_EQ(centre(100, 100), 0);
    EXPECT_EQ(take_output(), "");
}

TEST_F(CentroidTest, SaturatedFlatBoxIsOverexposed) {
    // Every pixel on the lower edge of a bin above 65000: the maximum is not above the threshold.
    std::fill(frame.begin(), frame.end(), 65472);
    EXPECT_EQ(centre(100, 100), 1);
    EXPECT_NE(take_output().find("Sorry, Guide Area Overexposed, unable to find accurate centre"),
              std::string::npos);
}

TEST_F(CentroidTest, RadiusBeyondTheWorkTableIsRefused) {
    EXPECT_EQ(centre(100, 100, 20), 1);
    EXPECT_EQ(centre(100, 100, -1), 1);
    EXPECT_EQ(centre(100, 100, 19), 0);
}

TEST_F(CentroidTest, GuideSubFrameIsTheAreaWhileGuiding) {
    std::vector<uint16_t> window(128 * 128, 500);
    add_star(window, 128, 128, 120.0, 64.0, 20000);
    p.guide.tracking = 1;
    EXPECT_EQ(find_centre(p, 120, 64, window.data(), 8), 1);  // 120 + 9 > 128
    EXPECT_EQ(find_centre(p, 119, 64, window.data(), 8), 0);
    EXPECT_EQ(p.guide.xcent, 120);
}

TEST_F(CentroidTest, GuiderCentreAlwaysHasTenths) {
    add_star(guider, 500, 290, 250.4, 100.7, 20000);
    EXPECT_EQ(guider_find_centre(p, 250, 101, guider.data(), 6), 0);
    EXPECT_EQ(p.guide.guider_xcent, 250);
    EXPECT_EQ(p.guide.guider_ycent, 100);
    EXPECT_NEAR(guider_x(), 250.4, 0.15);
    EXPECT_NEAR(guider_y(), 100.7, 0.15);
    EXPECT_EQ(guider_find_centre(p, 495, 101, guider.data(), 6), 1);
    EXPECT_NE(take_output().find("box KVR_P2_USB  - Find Centre: Find centre failed"),
              std::string::npos);
}

TEST_F(CentroidTest, FaintGuiderStarIsWeightedUpAndStillCentred) {
    add_star(guider, 500, 290, 300.5, 150.0, 3000);  // below 17000: amplified
    EXPECT_EQ(guider_find_centre(p, 301, 150, guider.data(), 6), 0);
    EXPECT_NEAR(guider_x(), 300.5, 0.15);
    EXPECT_NEAR(guider_y(), 150.0, 0.15);
}

TEST_F(CentroidTest, GuiderBackgroundNearSaturationKeepsItsThreshold) {
    std::fill(guider.begin(), guider.end(), 65000);
    guider[150 * 500 + 200] = 65535;
    EXPECT_EQ(guider_find_centre(p, 200, 150, guider.data(), 4), 0);
    EXPECT_NEAR(guider_x(), 200.0, 0.15);
    EXPECT_NEAR(guider_y(), 150.0, 0.15);
}

TEST_F(CentroidTest, GuideFramePlacedAroundThePickedStar) {
    p.guide.xcent = 5;
    p.guide.ycent = 6;
    p.shell.pick_xcent = 10;  // 10 pixels from the left chip edge
    p.shell.pick_ycent = 400;
    calc_guideframe(p);
    EXPECT_EQ(p.readout.focus_x, 0);
    EXPECT_EQ(p.guide.xcent, 10);
    // Row 200 of a field: the sub-frame starts at 136, and 136 mod 10 = 6 comes off.
    EXPECT_EQ(p.readout.focus_y, 136);
    EXPECT_EQ(p.guide.ycent, 64 - 6);
    EXPECT_EQ(p.guide.drawx, p.guide.xcent);
    EXPECT_EQ(p.guide.drawy, p.guide.ycent);
    EXPECT_EQ(p.guide.old_xcent, 5);
    EXPECT_EQ(p.guide.old_ycent, 6);
    EXPECT_EQ(p.guide.tracking, 1);

    p.shell.pick_xcent = 741;  // right edge: 752 − 128, odd origin shifts the star by 1
    p.shell.pick_ycent = 570;  // field row 285: bottom edge
    p.settings.Debug_Mode = 1;
    calc_guideframe(p);
    EXPECT_EQ(p.readout.focus_x, 624);
    EXPECT_EQ(p.guide.xcent, 741 - 624);
    EXPECT_EQ(p.readout.focus_y, 162);
    EXPECT_EQ(p.guide.ycent, 285 - 162 - 2);
    EXPECT_NE(take_output().find("message 50: xcent=  117, ycent =   121, focus_x =   624"),
              std::string::npos);
}

}  // namespace
}  // namespace kvr::test
