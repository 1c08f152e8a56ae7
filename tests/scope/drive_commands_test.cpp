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

// A guide cycle's two pulses: as LX200 commands both moves start together and each stops after
// its own length, so the cycle lasts as long as the longer one; through the box they go one
// after the other with the box's pause after each.
TEST_F(DriveCommandsTest, PulsePairOverlapsOnLx200AndTakesTurnsOnTheBox) {
    p.scope.telescope = 'l';
    int64_t t0 = clock.ms();
    drive_slew_pair(p, 'e', 300, 'n', 120);
    EXPECT_EQ(rec->texts(), (Texts{"#:RG#", "#:Me#", "#:Mn#", "#:Qn#", "#:Qe#"}));
    ASSERT_EQ(rec->writes.size(), 5u);
    EXPECT_EQ(rec->writes[1].at_ms, t0 + 20);
    EXPECT_EQ(rec->writes[2].at_ms, t0 + 20);
    EXPECT_EQ(rec->writes[3].at_ms, t0 + 20 + 120);
    EXPECT_EQ(rec->writes[4].at_ms, t0 + 20 + 300);
    EXPECT_EQ(clock.ms(), t0 + 20 + 300 + 4);

    // A pulse of no length is left out; two of none send nothing.
    rec->writes.clear();
    drive_slew_pair(p, 'w', 0, 's', 80);
    EXPECT_EQ(rec->texts(), (Texts{"#:RG#", "#:Ms#", "#:Qs#"}));
    rec->writes.clear();
    drive_slew_pair(p, 'w', 0, 'x', 80);
    EXPECT_TRUE(rec->writes.empty());

    p.scope.telescope = 'b';
    t0 = clock.ms();
    drive_slew_pair(p, 'e', 300, 'n', 120);
    ASSERT_EQ(rec->relays.size(), 4u);
    EXPECT_EQ(rec->relays[0].bits, 8);
    EXPECT_EQ(rec->relays[0].at_ms, t0 + 10);
    EXPECT_EQ(rec->relays[1].at_ms, t0 + 310);
    EXPECT_EQ(rec->relays[2].bits, 4);
    EXPECT_EQ(rec->relays[2].at_ms, t0 + 610 + 10);
    EXPECT_EQ(clock.ms(), t0 + 610 + 430);
}

TEST_F(DriveCommandsTest, GotoCatalogueObjectShowsTheInfoAndTheVerdict) {
    p.scope.telescope = 'l';
    rec->reply_to("#:LI#", "M31 EX GAL MAG 3.5 SZ178.0'#");
    rec->reply_to("#:MS#", "0");
    const int beeps = host.beeps();
    move_telescope(p, 'm', 31);
    EXPECT_EQ(rec->texts(), (Texts{"#:LM 0031#", "#:LI#", "#:MS#"}));
    EXPECT_EQ(rec->writes[2].at_ms - rec->writes[1].at_ms, 200);
    EXPECT_STREQ(p.scope.move_error, "M31 EX GAL MAG 3.5 SZ178.0'");
    EXPECT_STREQ(p.scope.scope_error, "");
    EXPECT_EQ(host.beeps(), beeps + 1);

    // Saturn is star 906; the mount has nothing to say about it and refuses it with its text,
    // which comes after the usual 500 ms.
    rec->writes.clear();
    rec->reply_to("#:LI#", "");
    rec->reply_to("#:MS#", "1Object Below Horizon#", 700);
    move_telescope(p, 's', 906);
    EXPECT_EQ(rec->writes[0].bytes, "#:LS 0906#");
    EXPECT_STREQ(p.scope.move_error, "");
    EXPECT_STREQ(p.scope.scope_error, "Object Below Horizon");

    // A mount that answers nothing is not a success.
    rec->reply_to("#:MS#", "");
    move_telescope(p, 'c', 224);
    EXPECT_STREQ(p.scope.move_error, "");
    EXPECT_STREQ(p.scope.scope_error, kNoAnswerFromMount);

    rec->writes.clear();
    move_telescope(p, 'c', 10000);
    EXPECT_TRUE(rec->writes.empty());
    EXPECT_NE(take_output().find("out of range"), std::string::npos);
}

// A hand controller of the field: answers tens of milliseconds late, the verdict after 150 ms,
// no object text for co-ordinates, the degree byte 0xDF, and co-ordinates only in the precision
// it shows. The go-to succeeds without a stray error, in either precision.
TEST_F(DriveCommandsTest, GotoCoordinatesWaitsForLateAnswersInTheMountsPrecision) {
    p.scope.telescope = 'l';
    rec->reply_to("#:GR#", "05:00.0#", 40);
    rec->reply_to("#:Sd -05*30", "1", 60);  // closes ":Sr 05:35.0"
    rec->reply_to("#:LI#", "1", 60);        // closes ":Sd -05*30"; no object text
    rec->reply_to("#:MS#", "0", 150);
    move_to_coord(p, 5, 35, -5, 30);
    EXPECT_EQ(rec->texts(), (Texts{"#:GR#", "#:Sr 05:35.0", "#:Sd -05*30", "#:LI#", "#:MS#"}));
    EXPECT_STREQ(p.scope.move_error, "");
    EXPECT_STREQ(p.scope.scope_error, "");

    rec->writes.clear();
    rec->reply_to("#:GR#", "05:35:00#", 40);
    rec->reply_to("#:Sd +45*00:00", "1", 60);
    rec->reply_to("#:LI#",
                  "100:00.0 +45\xDF"
                  "00#",
                  100);
    move_to_coord(p, 0, 0, 45, 0);
    EXPECT_EQ(rec->texts(), (Texts{"#:GR#", "#:Sr 00:00:00", "#:Sd +45*00:00", "#:LI#", "#:MS#"}));
    EXPECT_STREQ(p.scope.move_error, "00:00.0 +45*00");
    EXPECT_STREQ(p.scope.scope_error, "");

    // Refused co-ordinates: no slew. A mount that does not tell its precision gets the short form.
    rec->writes.clear();
    rec->reply_to("#:GR#", "");
    rec->reply_to("#:LI#", "0", 60);
    move_to_coord(p, 0, 0, 45, 0);
    EXPECT_EQ(rec->texts(), (Texts{"#:GR#", "#:Sr 00:00.0", "#:Sd +45*00", "#:LI#"}));
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
