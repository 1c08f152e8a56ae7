#include "imaging/gradient_filter.h"

#include <algorithm>

#include "core/image_store.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class GradientFilterTest : public ProgramTest {
  protected:
    void fill_rect(int x0, int y0, int x1, int y1, uint16_t v) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) p.ptr.image[y * p.geo.width1 + x] = v;
    }
    uint16_t pixel(int x, int y) const { return p.ptr.image[y * p.geo.width1 + x]; }
};

TEST_F(GradientFilterTest, EqualCornersLeaveTheImage) {
    for (int binned : {1, 0}) {
        p.readout.binned = binned;
        set_readout_geometry(p);
        fill_rect(0, 0, p.geo.width1, p.geo.height1, 1000);
        p.ptr.image[777] = 3;
        const std::vector<uint16_t> before(p.ptr.image, p.ptr.image + kFrameBufferLength);
        const GradientCorners c = measure_gradient(p, p.ptr.image);
        EXPECT_EQ(c.top_left + c.top_right + c.bottom_left + c.bottom_right, 0);
        gradient_filter(p, p.ptr.image);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), p.ptr.image));
    }
}

TEST_F(GradientFilterTest, ABrightCornerIsInterpolatedAway) {
    // Binned frame at 160 (mode bin 10) with the top-left patch at 320 (bin 20).
    fill_rect(0, 0, kBinnedWidth, kBinnedHeight, 160);
    fill_rect(20, 10, 60, 50, 320);
    const GradientCorners c = measure_gradient(p, p.ptr.image);
    EXPECT_EQ(c.top_left, 160);
    EXPECT_EQ(c.top_right, 0);
    EXPECT_EQ(c.bottom_left, 0);
    EXPECT_EQ(c.bottom_right, 0);
    gradient_filter(p, p.ptr.image);
    auto offset = [](int x, int y) {
        return (290.0 - y) * (376.0 - x) / 109044.0 * 160;  // the binned area includes 4 pixels
    };
    EXPECT_EQ(pixel(0, 0), 160 - static_cast<int>(offset(0, 0)));  // 159.99…: 1 left
    EXPECT_EQ(pixel(0, 0), 1);
    EXPECT_EQ(pixel(30, 30), 320 - static_cast<int>(offset(30, 30)));
    EXPECT_EQ(pixel(375, 289), 160);
    EXPECT_EQ(pixel(200, 100), 160 - static_cast<int>(offset(200, 100)));
}

TEST_F(GradientFilterTest, ModesTakeTheLowestTiedBinAndTheBottomSkipsZero) {
    // All black: the top patches' mode is 0, the bottom ones ignore bin 0 and report 1.
    fill_rect(0, 0, kBinnedWidth, kBinnedHeight, 0);
    GradientCorners c = measure_gradient(p, p.ptr.image);
    EXPECT_EQ(c.top_left, 0);
    EXPECT_EQ(c.bottom_left, 16);
    EXPECT_EQ(c.bottom_right, 16);
    gradient_filter(p, p.ptr.image);
    EXPECT_EQ(pixel(100, 280), 0);  // nothing to take from a black pixel

    // Half of the top-right patch in bin 30, half in bin 40: the lower bin wins.
    fill_rect(0, 0, kBinnedWidth, kBinnedHeight, 16);
    fill_rect(320, 10, 360, 30, 480);
    fill_rect(320, 30, 360, 50, 640);
    c = measure_gradient(p, p.ptr.image);
    EXPECT_EQ(c.top_right, (30 - 1) * 16);
}

TEST_F(GradientFilterTest, LabelBandRowsAreKept) {
    p.readout.binned = 0;
    set_readout_geometry(p);
    fill_rect(0, 0, kFullWidth, kFullHeight, 500);
    fill_rect(700, 520, 740, 560, 5000);  // bright bottom-right corner
    for (int i = 0; i < 6; ++i) p.ptr.image[i] = 17;
    p.ptr.image[5 * kFullWidth + 751] = 500;
    gradient_filter(p, p.ptr.image);
    EXPECT_EQ(pixel(751, 5), 500);
    EXPECT_LT(pixel(751, 579), 500);
    EXPECT_EQ(pixel(0, 10), 500);  // the bottom-right term is 0 at x = 0
}

}  // namespace
}  // namespace kvr::test
