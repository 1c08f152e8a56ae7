// Mount commands end to end through the camera's serial pass-through and relays: exact bytes,
// ports and times on the virtual clock.
#include "scope/drive_commands.h"

#include <gtest/gtest.h>

#include "scope/port_recorder.h"

namespace kvr::test {
namespace {

using Texts = std::vector<std::string>;
using DriveCommandsTest = ScopeTest;

TEST_F(DriveCommandsTest, LxGuidePulseTimesTheMoveAndGoesToTheMountPort) {
    p.scope.telescope = 'l';
    p.settings.slewcom = '2';
    p.scope.slewdir = 'w';
    p.scope.slew_time = 250;
    const int64_t t0 = clock.ms();
    drive_slew(p);
    ASSERT_EQ(rec->writes.size(), 3u);
    EXPECT_EQ(rec->texts(), (Texts{"#:RG#", "#:Mw#", "#:Qw#"}));
    for (const auto& w : rec->writes) EXPECT_EQ(w.port, 1);
    EXPECT_EQ(rec->writes[0].at_ms, t0);
    EXPECT_EQ(rec->writes[1].at_ms, t0 + 20);
    EXPECT_EQ(rec->writes[2].at_ms - rec->writes[1].at_ms, 250);
    EXPECT_EQ(clock.ms(), t0 + 20 + 250 + 4);

    // A zero-length pulse still sends all three, the stop right after the move; an unknown
    // letter sends nothing.
    rec->writes.clear();
    p.settings.slewcom = '1';
    p.scope.slewdir = 'n';
    p.scope.slew_time = 0;
    drive_slew(p);
    EXPECT_EQ(rec->texts(), (Texts{"#:RG#", "#:Mn#", "#:Qn#"}));
    EXPECT_EQ(rec->writes[0].port, 0);
    EXPECT_EQ(rec->writes[2].at_ms, rec->writes[1].at_ms);
    rec->writes.clear();
    p.scope.slewdir = 'x';
    drive_slew(p);
    EXPECT_TRUE(rec->writes.empty());
}

TEST_F(DriveCommandsTest, BoxPulseAndManualMovesCloseOneRelay) {
    p.scope.telescope = 'b';
    p.scope.slewdir = 'n';
    p.scope.slew_time = 250;
    const int64_t t0 = clock.ms();
    drive_slew(p);
    ASSERT_EQ(rec->relays.size(), 2u);
    EXPECT_EQ(rec->relays[0].bits, 4);
    EXPECT_EQ(rec->relays[0].at_ms, t0 + 10);
    EXPECT_EQ(rec->relays[1].bits, 0);
    EXPECT_EQ(rec->relays[1].at_ms, t0 + 260);
    EXPECT_EQ(clock.ms(), t0 + 560);

    rec->relays.clear();
    for (char d : {'w', 's', 'e'}) {
        p.scope.slewdir = d;
        box_start_move(p);
        box_stop_move(p);
    }
    ASSERT_EQ(rec->relays.size(), 6u);
    EXPECT_EQ(rec->relays[0].bits, 1);
    EXPECT_EQ(rec->relays[2].bits, 2);
    EXPECT_EQ(rec->relays[4].bits, 8);
    EXPECT_EQ(rec->relays[5].bits, 0);
    EXPECT_TRUE(rec->writes.empty());
}

TEST_F(DriveCommandsTest, GotoCatalogueObjectShowsTheInfoAndTheVerdict) {
    p.scope.telescope = 'l';
    const std::string info = "M31 EX GAL MAG 3.5 SZ178.0'#";
    rec->answer(0, info + std::string(33 - info.size(), '\0') + "0");
    const int beeps = host.beeps();
    move_telescope(p, 'm', 31);
    EXPECT_EQ(rec->texts(), (Texts{"#:LM 0031#", "#:LI#", "#:MS#"}));
    EXPECT_EQ(rec->writes[2].at_ms - rec->writes[1].at_ms, 200);
    EXPECT_STREQ(p.scope.move_error, "M31 EX GAL MAG 3.5 SZ178.0'");
    EXPECT_STREQ(p.scope.scope_error, "");
    EXPECT_EQ(host.beeps(), beeps + 1);

    // Saturn is star 906; the mount refuses it with its text.
    rec->writes.clear();
    rec->answer(0, std::string(33, '\0') + "1Object Below Horizon#");
    move_telescope(p, 's', 906);
    EXPECT_EQ(rec->writes[0].bytes, "#:LS 0906#");
    EXPECT_STREQ(p.scope.scope_error, "Object Below Horizon");

    // A mount that answers nothing is not a success.
    move_telescope(p, 'c', 224);
    EXPECT_STREQ(p.scope.move_error, kNoAnswerFromMount);
    EXPECT_STREQ(p.scope.scope_error, kNoAnswerFromMount);

    rec->writes.clear();
    move_telescope(p, 'c', 10000);
    EXPECT_TRUE(rec->writes.empty());
    EXPECT_NE(take_output().find("out of range"), std::string::npos);
}

TEST_F(DriveCommandsTest, GotoCoordinatesSendsTheOpenCommandsAndReadsEveryAnswer) {
    p.scope.telescope = 'l';
    rec->answer(0, "11Object#");
    rec->answer(0, std::string(33 - 7, '\0') + "0");
    move_to_coord(p, 5, 35, -5, 30);
    EXPECT_EQ(rec->texts(), (Texts{"#:Sr 05:35.0", "#:Sd -05*30", "#:LI#", "#:MS#"}));
    EXPECT_EQ(rec->writes[3].at_ms - rec->writes[2].at_ms, 200);
    EXPECT_STREQ(p.scope.move_error, "Object");
    EXPECT_STREQ(p.scope.scope_error, "");

    // Refused co-ordinates: no slew.
    rec->writes.clear();
    rec->answer(0, "10");
    move_to_coord(p, 0, 0, 45, 0);
    EXPECT_EQ(rec->texts(), (Texts{"#:Sr 00:00.0", "#:Sd +45*00", "#:LI#"}));
    EXPECT_STREQ(p.scope.scope_error, kCoordinatesRefused);
}

TEST_F(DriveCommandsTest, ManualMovesAndFocusing) {
    p.scope.telescope = 'l';
    std::snprintf(p.scope.tele_speed, sizeof p.scope.tele_speed, "#:RC#");
    std::snprintf(p.scope.move_direction, sizeof p.scope.move_direction, "#:Me#");
    p.scope.tele_moving = 1;
    start_move(p);
    stop_move(p);
    EXPECT_EQ(p.scope.tele_moving, 0);
    std::snprintf(p.scope.focus_direction, sizeof p.scope.focus_direction, "#:F-#");
    start_focus(p);
    stop_focus(p);
    EXPECT_EQ(rec->texts(), (Texts{"#:RC#", "#:Me#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#", "#:FF#",
                                   "#:F-#", "#:FQ#"}));
    // The direction map: a swapped east-west axis sends the other letter.
    p.settings.e = 'w';
    p.settings.w = 'e';
    EXPECT_EQ(mapped_direction(p, 'e'), 'w');
    EXPECT_EQ(mapped_direction(p, 'n'), 'n');
}

}  // namespace
}  // namespace kvr::test
