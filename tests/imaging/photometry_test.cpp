// Photometry on the start-up ramp (row r holds r · 225 in every column), and blink comparison.
#include "imaging/photometry.h"

#include <algorithm>

#include "display/blink.h"
#include "display/display.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class PhotometryTest : public ProgramTest {
  protected:
    std::string field(int id) { return p.measure.windows.photometry->view()[id].text; }
};

TEST_F(PhotometryTest, MeasuresMasksAndMagnitudes) {
    EXPECT_EQ(run_script("command 14\n"), "dialog 10 opened: PHOTOMETRY\n");
    EXPECT_EQ(run_script("command 14\n"),
              "message 39: Sorry, you are already in Photometry mode. Click left Mouse button "
              "when on object you wish to measure\n");
    p.display.most_pop = 3;
    run_script("mouse left 100 100\ndialog 10 click 102\nmouse left 50 10\n");
    EXPECT_EQ(p.measure.obj_val, 81 * 100 * 225);
    EXPECT_EQ(field(110), "  22500");
    EXPECT_EQ(field(111), "   2250");
    EXPECT_EQ(field(112), "    768");  // no background chosen: most_pop · 256
    EXPECT_EQ(field(113), "-2.50");
    EXPECT_EQ(field(102) + std::to_string(p.measure.windows.photometry->view()[102].checked),
              "Comparison1");

    // The same star as comparison: 0.00; a background at least as bright: an empty field.
    run_script("mouse left 50 100\n");
    EXPECT_EQ(field(113), "0.00");
    run_script("dialog 10 click 103\nmouse left 20 200\n");
    EXPECT_EQ(field(112), "  45000");
    EXPECT_EQ(field(113), "");

    // A mask button clears the three measurements; a single pixel is its own mean.
    run_script("dialog 10 click 117\n");
    EXPECT_EQ(p.guide.cur_rad, 0);
    EXPECT_EQ(p.measure.obj_val + p.measure.comp_val + p.measure.back_val, 0);
    run_script("dialog 10 click 101\nmouse left 7 3\nmove 30 40\n");
    EXPECT_EQ(field(110), "    675");
    EXPECT_EQ(field(1020), "   9000");
    EXPECT_EQ(field(1018) + "," + field(1019), "30,40");
    EXPECT_TRUE(p.measure.windows.photometry->view()[117].checked);

    // The geometry commands are ignored while it is open; Finished ends it.
    run_script("command 301\ndialog 10 click 2\n");
    EXPECT_EQ(p.shell.Fit, 0);
    EXPECT_EQ(p.display.photometry, 0);
    run_script("move 30 50\n");
    EXPECT_EQ(p.measure.mast_y, 40);
}

TEST_F(PhotometryTest, BlinkFlipsBetweenTheImageAndTheComparison) {
    std::fill_n(p.buf->comparison_int, kFrameBufferLength, uint16_t(200 * 256));
    EXPECT_EQ(run_script("command 125\ncommand 125\n"),
              "dialog 21 opened: Blinking:- Current Image\n");
    take_output();
    run_script("dialog 21 click 102\n");
    EXPECT_EQ(window_bitmap(p)->pixels[100 * 376], 200);
    EXPECT_EQ(p.measure.windows.blink->view()[102].text, "Current Image");
    EXPECT_EQ(p.display.blink_it, 0);
    EXPECT_NE(
        run_script("dialog 21 click 102\n").find("dialog 21 caption: Blinking:- Current Image"),
        std::string::npos);
    EXPECT_EQ(window_bitmap(p)->pixels[100 * 376], (100 * 225) >> 8);
    run_script("dialog 21 click 1\n");
    EXPECT_EQ(p.measure.blinking, 0);
}

}  // namespace
}  // namespace kvr::test
