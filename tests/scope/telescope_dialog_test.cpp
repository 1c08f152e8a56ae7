// The telescope windows driven as a script drives them: go-to by catalogue, planet and
// co-ordinates with their range checks, manual moves while an arrow is held, the focuser, and the
// box window.
#include "scope/telescope_dialog.h"

#include <gtest/gtest.h>

#include "scope/port_recorder.h"

namespace kvr::test {
namespace {

using Texts = std::vector<std::string>;
using TelescopeDialogTest = ScopeTest;

TEST_F(TelescopeDialogTest, GotoButtonsCheckTheirRanges) {
    p.scope.telescope = 'l';
    EXPECT_NE(run_script("command 24\n").find("dialog 30 opened: KVR_Q4 Move Telescope"),
              std::string::npos);
    const std::string info = "NGC224 GAL#";
    rec->answer(0, info + std::string(33 - info.size(), '\0') + "0");
    run_script("dialog 30 edit 101 0 edit 102 224 click 103");
    EXPECT_EQ(rec->writes.at(0).bytes, "#:LC 0224#");
    EXPECT_EQ(p.scope.telescope_dialog->view().at(mt::kInfoEdit).text, "NGC224 GAL");

    rec->writes.clear();
    const std::string refused = run_script(
        "dialog 30 edit 101 111 edit 102 0 click 103\n"
        "dialog 30 edit 102 7816 click 103 edit 102 7815 click 103 click 108\n"
        "dialog 30 edit 112 5 edit 113 35 edit 114 -90 edit 115 0 click 116\n"
        "dialog 30 edit 114 x click 116 edit 114 -0 edit 115 30 click 116\n");
    EXPECT_EQ(refused,
              "box KVR_Q4 - Control Telescope: Object out of range - try again\n"
              "box KVR_Q4 - Control Telescope: Object out of range - try again\n"
              "box KVR_Q4 - Control Telescope: Invalid Co-ordinates set.\\n\\nRange is R.A. 0hr "
              "00min, to 23hr 59mins\\n        Dec  -89deg 00min, to +89deg 59mins\n"
              "box KVR_Q4 - Control Telescope: Invalid Co-ordinates set.\\n\\nRange is R.A. 0hr "
              "00min, to 23hr 59mins\\n        Dec  -89deg 00min, to +89deg 59mins\n");
    EXPECT_EQ(rec->writes.at(0).bytes, "#:LC 7815#");
    EXPECT_EQ(rec->writes.at(3).bytes, "#:LS 0906#");  // Saturn
    EXPECT_EQ(rec->writes.at(6).bytes, "#:GR#");       // the precision: no answer, the short form
    EXPECT_EQ(rec->writes.at(7).bytes, "#:Sr 05:35.0");
    EXPECT_EQ(rec->writes.at(8).bytes, "#:Sd -00*30");
    EXPECT_EQ(p.scope.set_Decdeg, 0);
}

TEST_F(TelescopeDialogTest, ArrowsMoveWhileHeldAndFinishingStops) {
    p.scope.telescope = 'l';
    p.settings.e = 'w';  // east-west reversed
    p.settings.w = 'e';
    run_script(
        "command 24\n"
        "dialog 30 click 123 scroll 118 lineup scroll 119 linedown scroll 118 end\n"
        "dialog 30 click 126 scroll 124 linedown scroll 124 linedown scroll 124 end\n"
        "dialog 30 click 120 scroll 119 lineup click 2\n");
    EXPECT_EQ(rec->texts(),
              (Texts{"#:RG#", "#:Me#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#", "#:FS#", "#:F-#",
                     "#:FQ#", "#:RS#", "#:Mn#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
    EXPECT_EQ(p.scope.tele_moving, 0);
    const DialogView view = p.scope.telescope_dialog->view();
    EXPECT_TRUE(view.at(mt::kSlew).checked);
    EXPECT_TRUE(view.at(mt::kFocusSlow).checked);
}

TEST_F(TelescopeDialogTest, BoxWindowClosesOneRelayWhileHeld) {
    p.scope.telescope = 'b';
    run_script(
        "command 24\n"
        "dialog 31 scroll 101 linedown scroll 102 lineup scroll 101 end scroll 102 lineup\n"
        "dialog 31 click 2\n");
    ASSERT_EQ(rec->relays.size(), 4u);
    EXPECT_EQ(rec->relays[0].bits, 8);  // east
    EXPECT_EQ(rec->relays[1].bits, 0);
    EXPECT_EQ(rec->relays[2].bits, 4);  // north
    EXPECT_EQ(rec->relays[3].bits, 0);  // let go by closing the window
    EXPECT_EQ(p.scope.tele_moving, 0);

    p.scope.telescope = 'n';
    EXPECT_EQ(run_script("command 24\n"), "message 36: Sorry. No Connection to Telescope\n");
}

}  // namespace
}  // namespace kvr::test
