// Picking the guide star and placing the focus frame with the mouse, through the script verbs.
#include "guiding/star_pick.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class StarPickTest : public ProgramTest {
  protected:
    StarPickTest() {
        uint16_t* image = p.buf->image_int;
        std::fill(image, image + kFrameBufferLength, 1000);
        // A round star at (100.0, 80.0) on the binned 376 × 290 frame.
        for (int y = 70; y <= 90; ++y)
            for (int x = 90; x <= 110; ++x) {
                const double d2 = (x - 100.0) * (x - 100.0) + (y - 80.0) * (y - 80.0);
                image[y * 376 + x] = static_cast<uint16_t>(1000 + 20000 * std::exp(-d2 / 3.0));
            }
    }
};

TEST_F(StarPickTest, PickSnapsOntoTheStarAndStoresFullFrameCoordinates) {
    const std::string out = run_script("command 21\nmouse left 102 78\n");
    EXPECT_NE(out.find("message 50: x position =   200\\ny position =   160"), std::string::npos)
        << out;
    EXPECT_EQ(p.shell.picked_star, 1);
    EXPECT_EQ(p.shell.pick_small, 1);
    EXPECT_EQ(p.shell.pick_star, 1);  // stays on until the command toggles it
    run_script("command 21\n");
    EXPECT_EQ(p.shell.pick_star, 0);
}

TEST_F(StarPickTest, PickMarginAndScrollOrigin) {
    p.settings.star_mask = 8;
    run_script("command 21\n");
    EXPECT_NE(run_script("mouse left 10 100\n").find("Sorry, outside Image area - try again"),
              std::string::npos);
    p.shell.centre_it = 0;  // no snapping: the click itself is picked
    EXPECT_NE(run_script("mouse left 11 100\n").find("x position =    22\\ny position =   200"),
              std::string::npos);
    // The window passes window coordinates: the scroll origin is added.
    p.display.window.scroll_x = 5;
    EXPECT_NE(run_script("mouse left 6 100\n").find("x position =    22"), std::string::npos);
}

TEST_F(StarPickTest, FocusFramePlacement) {
    p.readout.binned = 0;
    p.geo.width2 = 751;
    p.geo.height2 = 579;
    run_script("command 25\nmouse left 66 100\n");
    EXPECT_EQ(p.readout.focus_x, 3);
    EXPECT_EQ(p.readout.focus_y, 1);
    EXPECT_EQ(p.shell.focus_frame, 0);
    const std::string out = run_script("command 25\nmouse left 400 400\n");
    EXPECT_EQ(p.readout.focus_x, 336);
    EXPECT_EQ(p.readout.focus_y, 136);
    EXPECT_NE(out.find("x position =   400\\ny position =   400"), std::string::npos) << out;
    run_script("command 26\n");
    EXPECT_EQ(p.readout.focus_x, 312);
    EXPECT_EQ(p.readout.focus_y, 65);
}

TEST_F(StarPickTest, EnlargedAndFittedDisplays) {
    p.display.Big = 1;
    p.shell.centre_it = 0;
    run_script("command 21\n");
    p.shell.centre_it = 0;
    run_script("mouse left 300 300\n");
    EXPECT_EQ(p.shell.pick_xcent, 400);  // image pixel (200, 200), binned
    EXPECT_EQ(p.shell.pick_ycent, 400);
    run_script("command 21\n");
    p.display.Big = 0;
    p.shell.Fit = 1;
    EXPECT_NE(run_script("command 21\n").find("message 35:"), std::string::npos);
    EXPECT_EQ(p.shell.pick_star, 0);
}

TEST_F(StarPickTest, AClickOnEmptySkyPicksNothing) {
    run_script("command 21\nmouse left 102 78\n");
    ASSERT_EQ(p.shell.picked_star, 1);
    // Far from the star: the centroid finds nothing, and the star picked before is not taken
    // for the click's.
    const std::string out = run_script("command 21\ncommand 21\nmouse left 250 200\n");
    EXPECT_NE(out.find("Nothing found to centre on"), std::string::npos) << out;
    EXPECT_EQ(out.find("x position"), std::string::npos) << out;
    EXPECT_EQ(p.shell.picked_star, 0);
    EXPECT_EQ(p.shell.pick_xcent, 200);  // the earlier pick's position, not moved
}

}  // namespace
}  // namespace kvr::test
