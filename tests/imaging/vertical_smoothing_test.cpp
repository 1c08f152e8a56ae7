#include "imaging/vertical_smoothing.h"

#include "core/image_store.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using VerticalSmoothingTest = ProgramTest;

TEST_F(VerticalSmoothingTest, AlternatesDownwardsThenUpwardsAndKeepsTheLastColumn) {
    p.readout.binned = 0;
    set_readout_geometry(p);
    const int w = p.geo.width1;
    const int h = p.geo.height1;
    uint16_t* img = p.ptr.image;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img[y * w + x] = static_cast<uint16_t>(y % 2 ? 300 : 100);

    venetian_blind(p, img, p.ptr.undo);
    EXPECT_EQ(p.ptr.undo[1 * w + 3], 300);  // the undo copy is the image before
    EXPECT_EQ(img[0 * w + 3], 200);
    EXPECT_EQ(img[(h - 1) * w + 3], 300);  // the last row has no row below: untouched
    EXPECT_EQ(img[5 * w + w - 1], 300);    // last column untouched
    EXPECT_STREQ(p.shell.process_info[0], "Vertical Smoothing Filter");

    img[0 * w + 3] = 10;
    img[1 * w + 3] = 30;
    venetian_blind(p, img, p.ptr.undo);  // upwards this time
    EXPECT_EQ(img[0 * w + 3], 10);       // row 0 has no row above: untouched
    EXPECT_EQ(img[1 * w + 3], 20);
    EXPECT_EQ(p.processing.venetian_flipflop, 0);
}

TEST_F(VerticalSmoothingTest, LabelBandStaysInPlace) {
    const int w = p.geo.width1;
    uint16_t* img = p.ptr.image;
    for (int i = 0; i < 6; ++i) img[i] = 17;
    img[9 * w + 7] = 1000;
    img[10 * w + 7] = 3000;
    img[11 * w + 7] = 5000;
    venetian_blind(p, img, p.ptr.undo);
    EXPECT_EQ(img[9 * w + 7], 1000);
    EXPECT_EQ(img[10 * w + 7], 4000);
}

}  // namespace
}  // namespace kvr::test
