// Slew-and-sum registration on frames whose star drifts between exposures.
#include "guiding/accumulate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

constexpr int kW = kBinnedWidth;
constexpr int kH = kBinnedHeight;
constexpr uint16_t kSky = 1000;

class AccumulateTest : public ProgramTest {
  protected:
    // A binned frame of flat sky with one star of `peak` at (cx, cy) and a fainter one beside it.
    void make_frame(double cx, double cy, double peak = 20000) {
        uint16_t* f = p.buf->image_int;
        std::fill(f, f + kFrameBufferLength, kSky);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                auto star = [&](double sx, double sy, double a) {
                    const double d2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
                    return a * std::exp(-d2 / (2 * 1.3 * 1.3));
                };
                const double v = kSky + star(cx, cy, peak) + star(cx + 30, cy + 20, peak / 3);
                f[y * kW + x] = static_cast<uint16_t>(std::min(v, 65535.0));
            }
    }
    int track() { return star_centroid_method().add(p, p.buf->image_int, p.buf->trial_int); }
    int slew() { return brightness_profile_method().add(p, p.buf->image_int, p.buf->trial_int); }
    uint16_t at(int x, int y) const { return p.buf->image_int[y * kW + x]; }
    uint16_t sum_at(int x, int y) const { return p.buf->trial_int[y * kW + x]; }
    void pick(int binned_x, int binned_y) {
        // Picks are kept in full-frame coordinates.
        p.guide.xcent = 2 * binned_x;
        p.guide.ycent = 2 * binned_y;
    }
};

TEST_F(AccumulateTest, TrackFollowsTheStarAndAddsEachFrame) {
    pick(100, 80);
    make_frame(100, 80);
    const uint16_t peak = at(100, 80);
    const uint16_t second = at(130, 100);
    ASSERT_EQ(track(), kAccumulateAdded);
    EXPECT_EQ(p.run.orig_x, 100);
    EXPECT_EQ(p.run.orig_y, 80);
    EXPECT_EQ(p.run.orig_max, peak);

    make_frame(103, 82);  // the star drifted 3 right, 2 down
    ASSERT_EQ(track(), kAccumulateAdded);
    EXPECT_EQ(p.run.merge_x, 103);
    EXPECT_EQ(p.run.merge_y, 82);
    EXPECT_EQ(at(103, 82), 2 * peak);
    EXPECT_EQ(at(133, 102), 2 * second);  // the second star lines up too
    EXPECT_EQ(at(10, 10), 2 * kSky);

    make_frame(106, 84);
    ASSERT_EQ(track(), kAccumulateAdded);
    EXPECT_EQ(at(106, 84), 3 * peak);
    EXPECT_EQ(at(200, 200), 3 * kSky);
    // The frame holds the sum, and so does the running sum.
    EXPECT_TRUE(std::equal(p.buf->image_int, p.buf->image_int + p.geo.intlength, p.buf->trial_int));
}

TEST_F(AccumulateTest, AveragingDividesEachFrameByTheRunLength) {
    p.run.slew_sum_average = 1;
    p.run.total_images = 3;
    pick(100, 80);
    for (int i = 0; i < 3; ++i) {
        make_frame(100 + i, 80);
        ASSERT_EQ(track(), kAccumulateAdded);
    }
    EXPECT_EQ(at(200, 200), 3 * (kSky / 3));
}

TEST_F(AccumulateTest, TrackRejectsAStarOfAnotherBrightness) {
    pick(100, 80);
    make_frame(100, 80, 10000);
    ASSERT_EQ(track(), kAccumulateAdded);
    const std::vector<uint16_t> sum(p.buf->trial_int, p.buf->trial_int + p.geo.intlength);
    make_frame(101, 80, 35000);  // 3.5 times the peak
    EXPECT_EQ(track(), kAccumulateRejected);
    EXPECT_TRUE(std::equal(sum.begin(), sum.end(), p.buf->trial_int));
    EXPECT_TRUE(std::equal(sum.begin(), sum.end(), p.buf->image_int));
}

TEST_F(AccumulateTest, TrackWithoutAStarInsideTheFrameHasNoReference) {
    pick(0, 0);
    make_frame(100, 80);
    EXPECT_EQ(track(), kAccumulateNoReference);
    EXPECT_EQ(p.run.orig_x, 0);
}

TEST_F(AccumulateTest, TrackLosesAStarThatLeftTheFrame) {
    pick(360, 80);
    make_frame(360, 80);
    ASSERT_EQ(track(), kAccumulateAdded);
    make_frame(373, 80);  // more than the box's reach, at the frame's edge
    EXPECT_EQ(track(), kAccumulateRejected);
}

TEST_F(AccumulateTest, SlewMatchesProfilesAndKeepsTheFirstFramesPlace) {
    make_frame(250, 150);
    const uint16_t peak = at(250, 150);
    ASSERT_EQ(slew(), kAccumulateAdded);
    EXPECT_EQ(p.run.merge_y, 0);  // the star is in the window at base 0
    EXPECT_GT(p.run.orig_avg, 0);

    make_frame(253, 148);
    ASSERT_EQ(slew(), kAccumulateAdded);
    EXPECT_EQ(p.run.orig_x, 3);
    EXPECT_EQ(p.run.orig_y, -2);
    EXPECT_EQ(at(250, 150), 2 * peak);
    make_frame(255, 147);
    ASSERT_EQ(slew(), kAccumulateAdded);
    EXPECT_EQ(p.run.orig_x, 5);
    EXPECT_EQ(p.run.orig_y, -3);
    EXPECT_EQ(at(250, 150), 3 * peak);
    EXPECT_EQ(sum_at(250, 150), 3 * peak);
}

TEST_F(AccumulateTest, SlewNeedsAStarInTheUpperWindows) {
    make_frame(250, 260);  // below every measuring window
    EXPECT_EQ(slew(), kAccumulateNoReference);
}

TEST_F(AccumulateTest, SlewRejectsAFrameWhenNeitherProfileHoldsAStar) {
    make_frame(250, 150);
    ASSERT_EQ(slew(), kAccumulateAdded);
    // A starless frame against the starred reference is still matched (its sky adds evenly);
    // its flat profiles then become the reference, and the next starless frame is refused.
    std::fill(p.buf->image_int, p.buf->image_int + kFrameBufferLength, kSky);
    ASSERT_EQ(slew(), kAccumulateAdded);
    const std::vector<uint16_t> sum(p.buf->trial_int, p.buf->trial_int + p.geo.intlength);
    std::fill(p.buf->image_int, p.buf->image_int + kFrameBufferLength, kSky);
    EXPECT_EQ(slew(), kAccumulateRejected);
    EXPECT_TRUE(std::equal(sum.begin(), sum.end(), p.buf->image_int));
    EXPECT_TRUE(std::equal(sum.begin(), sum.end(), p.buf->trial_int));
}

TEST_F(AccumulateTest, SumsClipAtFullScale) {
    pick(100, 80);
    for (int i = 0; i < 4; ++i) {
        make_frame(100, 80, 30000);
        ASSERT_EQ(track(), kAccumulateAdded);
    }
    EXPECT_EQ(at(100, 80), 65535);
}

}  // namespace
}  // namespace kvr::test
