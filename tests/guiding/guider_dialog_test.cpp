// The guider dialog's handlers and what it shows, and the guiding-information window's drawing.
#include "guiding/guider_dialog.h"

#include <gtest/gtest.h>

#include "guiding/guider_info_window.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class GuiderDialogTest : public ProgramTest {
  protected:
    GuiderDialogTest() { dialog.init(); }
    void click(int id) { send(event(ControlEvent::Kind::Click, id)); }
    void scroll(int id, ScrollCode code) {
        ControlEvent e = event(ControlEvent::Kind::Scroll, id);
        e.scroll = code;
        send(e);
    }
    void edit(int id, const std::string& text) {
        ControlEvent e = event(ControlEvent::Kind::TextEdited, id);
        e.text = text;
        send(e);
    }
    void mouse(int x, int y) {
        ControlEvent e = event(ControlEvent::Kind::Mouse, gd::kPicture);
        e.x = x;
        e.y = y;
        e.button = 1;
        send(e);
    }
    static ControlEvent event(ControlEvent::Kind kind, int id) {
        ControlEvent e;
        e.kind = kind;
        e.id = id;
        return e;
    }
    void send(const ControlEvent& e) { dialog.handle(e); }
    ControlState shown(int id) { return dialog.view()[id]; }

    GuiderDialog dialog{p};
};

TEST_F(GuiderDialogTest, ExposureRangesAndTheirArrows) {
    click(gd::kTenths);
    EXPECT_EQ(p.guide.exp_guider_value, 5);
    EXPECT_EQ(p.guide.max_guider_exp, 100);
    EXPECT_EQ(p.guide.exp_guider_range, 't');
    EXPECT_EQ(shown(gd::kExposureEdit).text, "5");
    for (int i = 0; i < 120; ++i) scroll(gd::kExposureBar, ScrollCode::LineDown);
    EXPECT_EQ(p.guide.exp_guider_value, 100);
    click(gd::kSeconds);
    EXPECT_EQ(p.guide.exp_guider_value, 1);
    scroll(gd::kExposureBar, ScrollCode::LineUp);  // at the minimum: unchanged
    EXPECT_EQ(p.guide.exp_guider_value, 1);
    click(gd::kHundredths);
    EXPECT_EQ(p.guide.max_guider_exp, 500);
    scroll(gd::kStretchBar, ScrollCode::PageDown);
    scroll(gd::kStretchBar, ScrollCode::LineDown);
    EXPECT_EQ(p.guide.guider_stretch, 50);
    scroll(gd::kStretchBar, ScrollCode::PageUp);
    EXPECT_EQ(shown(gd::kStretchEdit).text, "5");
}

TEST_F(GuiderDialogTest, DefaultsTrainedValuesAndSwaps) {
    // Never trained: the defaults stay in use.
    click(gd::kUseDefault);
    EXPECT_EQ(shown(gd::kUseDefault).text, "Use Defaults");
    EXPECT_EQ(shown(gd::kUsingEdit).text, "Using Default Vals");
    p.guide.guider_trained = p.guide.guider_use_trained = 1;
    click(gd::kUseDefault);
    EXPECT_EQ(p.guide.guider_use_trained, 0);
    EXPECT_EQ(shown(gd::kUseDefault).text, "Use Trained");
    click(gd::kUseDefault);
    EXPECT_EQ(p.guide.guider_use_trained, 1);
    EXPECT_EQ(shown(gd::kUsingEdit).text, "Using Trained Vals");

    click(gd::kSwapEastWest);
    EXPECT_EQ(p.settings.e, 'w');
    EXPECT_TRUE(shown(gd::kSwapEastWest).checked);
    click(gd::kSwapEastWest);
    EXPECT_EQ(p.settings.e, 'e');
    EXPECT_EQ(p.settings.w, 'w');
    EXPECT_FALSE(shown(gd::kSwapEastWest).checked);

    // A rate of 0 would divide by zero in the guide loop: refused, nothing changes.
    edit(gd::kDefaultEdits, "0");
    click(gd::kChangeDefaults);
    EXPECT_EQ(p.settings.guider_slewx, 6);
    edit(gd::kDefaultEdits, " 9");
    edit(gd::kDefaultEdits + 4, "1.5");
    click(gd::kChangeDefaults);
    EXPECT_EQ(p.settings.guider_slewx, 9);
    EXPECT_FLOAT_EQ(p.settings.guider_theta, 1.5f);
    EXPECT_EQ(shown(gd::kDefaultEdits).text, "    9");
    p.guide.RA_rate = 7;
    click(gd::kSaveLatest);
    EXPECT_EQ(p.settings.guider_slewx, 7);

    // No dark frame yet: "Apply DarkFrame" stays off.
    click(gd::kApplyDark);
    EXPECT_EQ(p.guide.guider_use_darkframe, 0);
    EXPECT_EQ(shown(gd::kDarkEdit).text, "No darkframe has been taken");
    click(gd::kGuidingMode);
    EXPECT_EQ(p.settings.GuiderMode, 'A');
    EXPECT_EQ(shown(gd::kGuidingModeEdit).text, "AO Unit");
    EXPECT_NE(take_output().find("message 50: Please enter whole numbers"), std::string::npos);
}

TEST_F(GuiderDialogTest, PicksRefusedNearTheEdge) {
    p.guide.cur_rad = 4;
    click(gd::kSelectStar);
    mouse(200, 100);
    EXPECT_EQ(take_output(), "message 53: You must first take an image and pick a star\n");
    p.guide.guided_image = 1;
    mouse(3, 100);
    EXPECT_EQ(take_output(), "message 40: Sorry, outside Image area - try again\n");
    EXPECT_EQ(p.guide.guider_pick_star, 1);  // still picking
    EXPECT_EQ(p.guide.guider_picked_star, 0);
}

TEST_F(GuiderDialogTest, InformationWindowPlotsTheTrail) {
    GuiderInfoWindow info(p);
    GuideState& g = p.guide;
    g.guider_trail.record(0, 0);
    g.guider_trail.record(-2000, 1000);  // star 2 px right of and 1 px above the reference
    const Canvas* c = info.drawing(gi::kPicture);
    ASSERT_NE(c, nullptr);
    const int cx = gi::kBoxX + gi::kBoxSize / 2, cy = gi::kBoxY + gi::kBoxSize / 2;
    EXPECT_EQ(c->at(cx + 20, cy - 10), argb(255, 0, 0));   // newest point marked
    EXPECT_EQ(c->at(cx + 10, cy - 5), argb(255, 255, 0));  // trail from the one before
    g.x3 = 1234;
    g.guider_guiding_standalone = 0;
    EXPECT_EQ(info.view()[gi::kErrorX].text, "1.2");
    EXPECT_FALSE(info.view()[gi::kStopGuiding].enabled);
    p.scope.AOUnit_sendtomount[0] = 'N';
    p.scope.AOUnit_lastsent = p.clock.ms();
    EXPECT_EQ(info.view()[gi::kMountBump].text, "N");
    clock.advance(2500);
    EXPECT_EQ(info.view()[gi::kMountBump].text, "");
}

}  // namespace
}  // namespace kvr::test
