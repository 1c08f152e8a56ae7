#include "imaging/adjust_dialogs.h"

#include <gtest/gtest.h>

#include "core/canvas.h"
#include "imaging/stretch_dialog.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

ControlEvent scroll(int id, ScrollCode code, int position = 0) {
    ControlEvent e;
    e.kind = ControlEvent::Kind::Scroll;
    e.id = id;
    e.scroll = code;
    e.position = position;
    return e;
}

ControlEvent click(int id) {
    ControlEvent e;
    e.id = id;
    return e;
}

ControlEvent typed(int id, std::string text) {
    ControlEvent e;
    e.kind = ControlEvent::Kind::TextEdited;
    e.id = id;
    e.text = std::move(text);
    return e;
}

void repeat(DialogModel& d, const ControlEvent& e, int times) {
    for (int i = 0; i < times; ++i) d.handle(e);
}

using AdjustDialogsTest = ProgramTest;

TEST_F(AdjustDialogsTest, NormalStretchPointsNeverCrossAndStopAtTheirLimits) {
    ProcessingState& s = p.processing;
    s.black = 0;
    s.white = 255;
    StretchDialog d(p);
    d.init();
    constexpr int kBlack = 102, kWhite = 103;
    d.handle(scroll(kBlack, ScrollCode::ThumbPosition, 100));
    d.handle(scroll(kWhite, ScrollCode::ThumbPosition, 100));  // not above black: refused
    EXPECT_EQ(s.white, 255u);
    d.handle(scroll(kWhite, ScrollCode::ThumbPosition, 101));
    repeat(d, scroll(kWhite, ScrollCode::LineUp), 5);
    repeat(d, scroll(kWhite, ScrollCode::PageUp), 5);
    EXPECT_EQ(s.white, 101u);
    repeat(d, scroll(kBlack, ScrollCode::LineDown), 5);
    repeat(d, scroll(kBlack, ScrollCode::PageDown), 5);
    EXPECT_EQ(s.black, 100u);
    d.handle(scroll(kBlack, ScrollCode::ThumbPosition, 101));
    EXPECT_EQ(s.black, 100u);

    repeat(d, scroll(kWhite, ScrollCode::PageDown), 30);
    EXPECT_EQ(s.white, 291u);  // a page would pass 300
    repeat(d, scroll(kWhite, ScrollCode::LineDown), 30);
    EXPECT_EQ(s.white, 300u);
    repeat(d, scroll(kBlack, ScrollCode::PageDown), 30);
    repeat(d, scroll(kBlack, ScrollCode::LineDown), 30);
    EXPECT_EQ(s.black, 255u);
    repeat(d, scroll(kBlack, ScrollCode::PageUp), 30);
    EXPECT_EQ(s.black, 5u);
    repeat(d, scroll(kBlack, ScrollCode::LineUp), 30);
    EXPECT_EQ(s.black, 0u);

    const DialogView v = d.view();
    EXPECT_EQ(v.at(101).text, "0");
    EXPECT_EQ(v.at(104).text, "300");
    EXPECT_EQ(v.at(kWhite).pos, 300);
    EXPECT_EQ(v.at(kWhite).min, 2);
    // The white marker stays at 255; the drawn positions are recorded.
    EXPECT_EQ(s.oldwhite, 255u);
    EXPECT_EQ(s.oldblack, 0u);
}

TEST_F(AdjustDialogsTest, NormalStretchDrawsTheHistogramAndTheMarkers) {
    p.display.table[0] = 1054;  // full height, grey
    p.display.table[1] = 1055;  // cut, red
    p.display.table[2] = 50;
    ProcessingState& s = p.processing;
    s.black = 20;
    s.white = 260;
    StretchDialog d(p);
    d.init();
    const Canvas* c = d.drawing(kStretchHistogramArea);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->at(8, 1), argb(128, 128, 128));
    EXPECT_EQ(c->at(8, 0), argb(192, 192, 192));
    EXPECT_EQ(c->at(9, 1), argb(255, 0, 0));
    EXPECT_EQ(c->at(10, 201), argb(128, 128, 128));  // 50 pixels: 10 high
    EXPECT_EQ(c->at(10, 200), argb(192, 192, 192));
    EXPECT_EQ(c->at(5, 100), argb(0, 0, 255));  // axis
    // Arrows: shaft from y = 230 up to 221 at x = level + 8.
    EXPECT_EQ(c->at(28, 225), argb(0, 0, 0));
    EXPECT_EQ(c->at(263, 225), argb(0, 0, 0));  // white 260 is drawn at 255
    EXPECT_EQ(c->at(100, 225), argb(255, 255, 255));
    d.handle(scroll(102, ScrollCode::LineDown));
    EXPECT_EQ(c->at(28, 225), argb(255, 255, 255));  // the strip is redrawn
    EXPECT_EQ(c->at(29, 225), argb(0, 0, 0));
    EXPECT_EQ(s.oldblack, 21u);

    d.handle(click(9));
    EXPECT_NE(take_output().find("box KVR_Q4 - Normal Stretch: Use controls to vary intensity"),
              std::string::npos);
    d.handle(click(kIdcCancel));
    EXPECT_TRUE(d.ended());
    EXPECT_EQ(d.result(), kIdCancel);
}

TEST_F(AdjustDialogsTest, PowerStepsByATenthBetweenItsLimits) {
    p.processing.power_str = 1.0;
    PowerDialog d(p);
    repeat(d, scroll(101, ScrollCode::LineUp), 9);
    EXPECT_EQ(d.view().at(102).text, "0.1");
    repeat(d, scroll(101, ScrollCode::LineUp), 3);
    EXPECT_EQ(d.view().at(102).text, "0.1");
    EXPECT_EQ(d.view().at(101).pos, 1);

    p.processing.power_str = 1.0;
    repeat(d, scroll(101, ScrollCode::LineDown), 20);
    EXPECT_EQ(d.view().at(102).text, "3.0");
    repeat(d, scroll(101, ScrollCode::LineDown), 3);
    EXPECT_EQ(d.view().at(102).text, "3.0");
    EXPECT_EQ(d.view().at(101).max, 30);
}

TEST_F(AdjustDialogsTest, NonLinearRefusesATypedPowerAboveFifty) {
    p.processing.white = 25;
    NonLinearDialog d(p);
    EXPECT_EQ(d.view().at(102).text, "25");
    d.handle(typed(102, "60"));
    d.handle(click(kIdcOk));
    EXPECT_FALSE(d.ended());
    EXPECT_EQ(p.processing.white, 25u);
    EXPECT_EQ(d.view().at(102).text, "25");
    repeat(d, scroll(213, ScrollCode::LineDown), 40);
    EXPECT_EQ(p.processing.white, 50u);
    repeat(d, scroll(213, ScrollCode::LineUp), 60);
    EXPECT_EQ(p.processing.white, 2u);
    EXPECT_EQ(d.view().at(102).text, "2");
    d.handle(typed(102, "1"));
    d.handle(click(kIdcOk));
    EXPECT_TRUE(d.ended());
    EXPECT_EQ(p.processing.white, 1u);
}

TEST_F(AdjustDialogsTest, UnsharpAndMedianParametersStayInRange) {
    ProcessingState& s = p.processing;
    s.white = 3;
    s.black = 1;
    UnsharpDialog u(p);
    repeat(u, scroll(101, ScrollCode::LineDown), 10);
    repeat(u, scroll(102, ScrollCode::LineUp), 10);
    EXPECT_EQ(s.white, 7u);
    EXPECT_EQ(s.black, 1u);
    EXPECT_EQ(u.view().at(103).text, "7");

    s.white = 1;
    s.black = 6;
    MedianDialog m(p);
    EXPECT_EQ(m.view().at(102).text, ".6");
    m.handle(scroll(104, ScrollCode::LineDown));
    EXPECT_EQ(m.view().at(102).text, "0.7");
    repeat(m, scroll(104, ScrollCode::LineDown), 10);
    EXPECT_EQ(s.black, 10u);
    EXPECT_EQ(m.view().at(102).text, "1.0");
    repeat(m, scroll(104, ScrollCode::LineUp), 20);
    EXPECT_EQ(m.view().at(102).text, "0.1");
    repeat(m, scroll(103, ScrollCode::LineDown), 5);
    EXPECT_EQ(m.view().at(101).text, "3");
}

TEST_F(AdjustDialogsTest, StretchDisplayDrivesTheDisplayLive) {
    run_script("command 726");
    take_output();
    const double start = p.display.max_stretch_mult;
    run_script("dialog 20 scroll 21005 pagedown");
    EXPECT_EQ(p.display.max_stretch_mult, 50.0);
    run_script("dialog 20 scroll 21005 linedown scroll 21005 pageup");
    EXPECT_EQ(p.display.max_stretch_mult, 2.0);
    run_script("dialog 20 scroll 21005 lineup scroll 21005 thumb 17 scroll 21005 linedown");
    EXPECT_EQ(p.display.max_stretch_mult, 18.0);
    EXPECT_NE(start, 18.0);
    EXPECT_EQ(p.display.max_stretch, 0);
    run_script("dialog 20 toggle 21002");
    EXPECT_EQ(p.display.max_stretch, 1);
    EXPECT_TRUE(p.processing.stretch_display_dialog->view().at(21002).checked);
    EXPECT_EQ(p.processing.stretch_display_dialog->view().at(21006).text, "18");
    const std::string out = run_script("dialog 20 click 1");
    EXPECT_NE(out.find("dialog 20 closed"), std::string::npos) << out;
    // Reopening starts a fresh window over the same settings.
    EXPECT_NE(run_script("command 726").find("dialog 20 opened"), std::string::npos);
}

}  // namespace
}  // namespace kvr::test
