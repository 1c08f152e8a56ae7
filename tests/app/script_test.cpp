#include <cstring>
#include <optional>
#include <set>
#include <string>

#include "app/script_runner.h"
#include "core/command_layout.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using ScriptTest = ProgramTest;

std::optional<ScriptError> run_expecting_error(Program& p, ScriptHost& host, std::ostream& out,
                                               const std::string& text) {
    ScriptRunner runner(p, host, out);
    std::istringstream in(text);
    return runner.run(in);
}

TEST_F(ScriptTest, SetAndGetByName) {
    EXPECT_EQ(run_script("get intlength\nset binned 0\nget binned\n# comment\n\nget image_name\n"),
              "intlength = 109044\nbinned = 0\nimage_name = \n");
}

TEST_F(ScriptTest, ErrorsStopWithTheirLineNumber) {
    struct Case {
        std::string script;
        int line;
        const char* fragment;
    };
    const Case cases[] = {
        {"get binned\nfrobnicate 3\nget binned\n", 2, "unknown command"},
        {"get nosuchvar\n", 1, "unknown variable"},
        {"set binned 1\n\nset binned x\n", 3, "not a valid value"},
        {"set ccd_frame 300\n", 1, "out of range"},
        // Buffer sizes change only with the readout mode, never from a script.
        {"set width1 100000\ncommand 4\n", 1, "read only: width1"},
        {"set intlength 2000000000\ncommand 105\n", 1, "read only: intlength"},
        {"set height1 100000\ncommand 302\n", 1, "read only: height1"},
        {"set focus_x 700\n", 1, "out of range for this variable: focus_x"},
        {"set image_name " + std::string(20, 'y') + "\n", 1, "too long"},
        {"command 99999\n", 1, "unknown command id"},
        {"command twelve\n", 1, "numeric id"},
        {"dialog 15 click\n", 1, "control id"},
        {"dialog 15 scroll 101 sideways\n", 1, "scroll code"},
        {"answer maybe\n", 1, "answer"},
        {"key soon\n", 1, "milliseconds"},
        {"mouse middle 1 2\n", 1, "left|right"},
        {"wait\n", 1, "milliseconds"},
    };
    for (const auto& c : cases) {
        std::ostringstream sink;
        auto e = run_expecting_error(p, host, sink, c.script);
        ASSERT_TRUE(e.has_value()) << c.script;
        EXPECT_EQ(e->line, c.line) << c.script;
        EXPECT_NE(e->text.find(c.fragment), std::string::npos) << e->text;
    }
    // Lines after the error did not run.
    std::ostringstream sink;
    run_expecting_error(p, host, sink, "get binned\nbogus\nget binned\n");
    EXPECT_EQ(sink.str(), "binned = 1\n");
}

TEST_F(ScriptTest, AboutDialogDrivenFromTheScript) {
    EXPECT_EQ(run_script("dialog 15 click 1\ncommand 113\ncommand 113\n"),
              "dialog 15 opened: About KVR_Q4\n"
              "dialog 15 closed: 1\n"
              "dialog 15 opened: About KVR_Q4\n"
              "dialog 15 cancelled\n"
              "dialog 15 closed: 2\n");
}

TEST_F(ScriptTest, InputNothingTookIsReportedWithItsLine) {
    // The About box takes line 1's click and neither answer nor file; line 2's click waits for
    // a second opening that never comes; line 5 names no possible dialog.
    run_script(
        "dialog 15 click 1\ndialog 15 click 1\nanswer ok\nfile cancel\n"
        "dialog 0 click 1\ncommand 113\n");
    EXPECT_EQ(host.unconsumed_input(), (std::vector<std::string>{
                                           "script line 2: dialog 15 actions not taken",
                                           "script line 3: answer not taken by any message box",
                                           "script line 4: file not taken by any file dialog",
                                           "script line 5: no dialog has resource id 0",
                                       }));
}

TEST_F(ScriptTest, CommandWithoutHandlerIsReportedNotIgnored) {
    static constexpr CommandRow kNotBuilt[] = {{static_cast<Cmd>(4242), "NotBuiltYet"}};
    p.commands.add(kNotBuilt);
    EXPECT_EQ(run_script("command 4242\n"),
              "diagnostic: command 4242 (NotBuiltYet) is not available in this build\n");
}

TEST_F(ScriptTest, InfoShowsHistoryUntilTheFirstShortLine) {
    std::strcpy(p.shell.process_info[0], "QX Camera Image");
    std::strcpy(p.shell.process_info[1], "Unsharp Mask");
    std::strcpy(p.shell.process_info[3], "not shown after an empty line 2");
    EXPECT_EQ(run_script("command 17\n"), "message 50: QX Camera Image \\nUnsharp Mask \\n\n");
    p.shell.process_info[1][0] = '\0';
    EXPECT_EQ(run_script("command 17\n"), "message 50: QX Camera Image \\n\n");
}

TEST_F(ScriptTest, WaitLetsScheduledKeysPassAndAdvancesTheClock) {
    run_script("key 100\nwait 250\n");
    EXPECT_EQ(clock.ms(), 250u);
    EXPECT_EQ(host.pending_keys(), 0u);
}

TEST_F(ScriptTest, ExitClosesAndStopsTheScript) {
    EXPECT_EQ(run_script("command 24310\nget binned\n"), "");
    EXPECT_TRUE(p.exit_requested);
}

TEST_F(ScriptTest, MenuAndAcceleratorsAreDeclared) {
    const MenuLayout& file = menu_layout()[0];
    EXPECT_STREQ(file.title, "&File");
    EXPECT_EQ(file.items.size(), 27u);
    EXPECT_EQ(p.commands.find(*file.items[0])->menu_text, "&Open...\tCTL+O");
    EXPECT_EQ(p.commands.find(*file.items[4])->menu_text, "&Quick Save as FITS...\tCtl+Q ");
    EXPECT_EQ(file.items.back(), Cmd::Exit);
    EXPECT_EQ(p.commands.find(Cmd::CameraControl)->name, "camera_control");
    EXPECT_EQ(p.commands.find(Cmd::CameraControl)->hint, "Main Camera Control");
    EXPECT_EQ(p.commands.accelerators().size(), 15u);
}

// Every command is declared once by its subsystem, placed at most once, and every menu text and
// key is its own.
TEST_F(ScriptTest, CommandTableRepeatsNothing) {
    EXPECT_TRUE(p.commands.repeated_ids().empty());
    std::set<Cmd> placed;
    std::set<std::string> texts;
    for (const MenuLayout& m : menu_layout()) {
        for (const std::optional<Cmd>& item : m.items) {
            if (!item) continue;
            const Command* c = p.commands.find(*item);
            ASSERT_NE(c, nullptr) << id_of(*item);
            EXPECT_TRUE(placed.insert(*item).second) << id_of(*item);
            EXPECT_TRUE(texts.insert(c->menu_text).second) << c->menu_text;
        }
    }
    for (const ToolItem& t : tool_bar_layout()) {
        if (!t.command) continue;
        EXPECT_NE(p.commands.find(*t.command), nullptr) << id_of(*t.command);
    }
    std::set<std::string> keys;
    for (const Accelerator& a : p.commands.accelerators()) EXPECT_TRUE(keys.insert(a.keys).second);
    for (Cmd id : p.commands.ids()) {
        const Command* c = p.commands.find(id);
        if (!c->menu_text.empty()) {
            EXPECT_TRUE(placed.count(id)) << id_of(id) << " has no menu";
        }
    }
}

}  // namespace
}  // namespace kvr::test
