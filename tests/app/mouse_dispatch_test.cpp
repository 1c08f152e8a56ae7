// Clicks on the main image: the margin refusals, the 150 % mapping, the scroll origin,
// snapping onto a star, and the focus and pick modes.
#include "app/mouse_dispatch.h"

#include <algorithm>

#include "support/test_program.h"

namespace kvr::test {
namespace {

class MouseDispatchTest : public ProgramTest {};

TEST_F(MouseDispatchTest, PickModeMarginsAndTheEnlargedPicture) {
    p.shell.pick_star = 1;
    p.guide.cur_rad = 8;
    EXPECT_EQ(run_script("mouse left 10 100\n"),
              "message 50: Sorry, outside Image area - try again\\n\\nx position =    10\\ny "
              "position =   100\n");
    EXPECT_EQ(run_script("mouse left 11 100\n"),
              "message 50: x position =    22\\ny position =   200\n");
    EXPECT_EQ(p.shell.pick_small, 1);

    // At 150 % a click at (300, 300) is image pixel (200, 200): (400, 400) on the full frame.
    p.display.Big = 1;
    run_script("mouse left 300 300\n");
    EXPECT_EQ(p.shell.pick_xcent, 400);
    EXPECT_EQ(p.shell.pick_ycent, 400);
    EXPECT_EQ(p.shell.pick_star, 1);
}

TEST_F(MouseDispatchTest, FocusFrameClampsAndEndsTheMode) {
    p.readout.binned = 0;
    p.shell.focus_frame = 1;
    EXPECT_EQ(run_script("mouse left 66 100\n"),
              "message 50: x position =    67\\ny position =   130\n");
    EXPECT_EQ(p.readout.focus_x, 3);
    EXPECT_EQ(p.readout.focus_y, 1);
    EXPECT_EQ(p.shell.focus_frame, 0);
    p.shell.focus_frame = 1;
    run_script("mouse left 400 400\n");
    EXPECT_EQ(p.readout.focus_x, 336);
    EXPECT_EQ(p.readout.focus_y, 136);
}

TEST_F(MouseDispatchTest, RightClickSnapsTheMeasurementOntoTheStar) {
    std::fill_n(p.buf->image_int, p.geo.intlength, uint16_t(1000));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            p.buf->image_int[(80 + dy) * p.geo.width1 + 120 + dx] = 30000;
    run_script("command 14\n");
    p.display.window.scroll_x = 100;
    p.display.window.scroll_y = 50;
    run_script("mouse right 18 28\n");
    EXPECT_EQ(p.measure.obj_x, 120);
    EXPECT_EQ(p.measure.obj_y, 80);
    EXPECT_EQ(p.measure.obj_val, 72 * 1000 + 9 * 30000);
    EXPECT_EQ(p.shell.centre_it, 0);
    run_script("mouse left 18 28\n");  // unsnapped
    EXPECT_EQ(p.measure.obj_x, 118);
}

}  // namespace
}  // namespace kvr::test
