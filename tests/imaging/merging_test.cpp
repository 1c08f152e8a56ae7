// Merging: the exact bounds of the combination, and the marking-loading-merging flow.
#include "imaging/merging.h"

#include <algorithm>
#include <vector>

#include "support/test_program.h"

namespace kvr::test {
namespace {

class MergingTest : public ProgramTest {
  protected:
    uint16_t* a() { return p.buf->image_int; }
    uint16_t* b() { return p.buf->trial_int; }
    // Pixel (x, y) of a frame of the current width.
    uint16_t at(const uint16_t* image, int x, int y) { return image[y * p.geo.width1 + x]; }
    void fill_both(uint16_t value) {
        std::fill_n(a(), p.geo.intlength, value);
        std::fill_n(b(), p.geo.intlength, value);
    }
};

TEST_F(MergingTest, AddingAnImageToItselfDoublesInsideTheBoundsAndClips) {
    const int w = p.geo.width1, h = p.geo.height1;
    fill_both(1000);
    a()[50 * w + 60] = b()[50 * w + 60] = 40000;
    do_merge(p, a(), b(), 7, 9, 7, 9, 0);
    EXPECT_EQ(at(a(), 60, 50), 65535);
    EXPECT_EQ(at(a(), 1, 1), 2000);
    EXPECT_EQ(at(a(), w - 2, h - 1), 2000);
    // Column 0, the last column and row 0 are never merged.
    EXPECT_EQ(at(a(), 0, 20), 1000);
    EXPECT_EQ(at(a(), w - 1, 20), 1000);
    EXPECT_EQ(at(a(), 20, 0), 1000);

    fill_both(1001);
    do_merge(p, a(), b(), 0, 0, 0, 0, 1);  // average of equal images: unchanged
    EXPECT_TRUE(std::all_of(a(), a() + p.geo.intlength, [](uint16_t v) { return v == 1001; }));
}

TEST_F(MergingTest, ShiftLeavesSixColumnsAndTheLabelBandAlone) {
    const int w = p.geo.width1;
    fill_both(100);
    b()[4] = b()[5] = 17;  // a labelled original: rows 0 … 10 stay
    do_merge(p, a(), b(), 10, 20, 15, 20, 0);
    for (int x = w - 6; x < w; ++x) EXPECT_EQ(at(a(), x, 30), 100) << x;
    EXPECT_EQ(at(a(), w - 7, 30), 200);
    EXPECT_EQ(at(a(), 0, 30), 200);  // its counterpart is column 5
    EXPECT_EQ(at(a(), 30, 10), 100);
    EXPECT_EQ(at(a(), 30, 11), 200);
}

TEST_F(MergingTest, MarksLoadAndMergeThroughTheWindow) {
    const std::vector<uint16_t> ramp(p.ptr.image, p.ptr.image + p.geo.intlength);
    run_script("file c:\\ramp.qx\ncommand 24333\n");
    p.measure.average = 1;
    run_script("command 111\n");
    EXPECT_EQ(p.measure.average, 0);
    EXPECT_EQ(run_script("command 111\n"), "message 31: Sorry, you are already in Merging mode.\n");
    run_script("mouse left 100 60\ndialog 13 click 1\n");  // Merge before loading: ignored
    EXPECT_EQ(p.settings.merging, 1);
    EXPECT_EQ(p.run.orig_x, 100);
    run_script("file c:\\ramp.qx\ncommand 24332\nmouse left 103 61\n");
    EXPECT_EQ(p.settings.orig, 0);
    EXPECT_EQ(p.run.merge_x, 103);
    EXPECT_EQ(p.measure.windows.merge->view()[105].text, "103");
    run_script("dialog 13 click 1\n");
    EXPECT_EQ(p.settings.merging, 0);
    EXPECT_EQ(p.display.prep_image, 1);
    // Shifted by (3, 1): row 40 of the result adds row 41 of the second image.
    EXPECT_EQ(at(p.ptr.image, 50, 40), ramp[40 * p.geo.width1] + ramp[41 * p.geo.width1]);

    // Cancel clears Average; with the photometry open merging is refused.
    run_script("command 111\ndialog 13 toggle 103\n");
    EXPECT_EQ(p.measure.average, 1);
    run_script("dialog 13 click 2\n");
    EXPECT_EQ(p.measure.average, 0);
    run_script("command 14\n");
    EXPECT_EQ(run_script("command 111\n"),
              "message 37: Sorry, you cannot run Photometry, Row Plot and Merging at the same "
              "time\n");
}

}  // namespace
}  // namespace kvr::test
