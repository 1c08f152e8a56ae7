// The telescope link check and the telescope control command.
#include "acquire/telescope_check.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "core/drive_paths.h"
#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using TelescopeCheckTest = ProgramTest;

TEST_F(TelescopeCheckTest, LinkIsCheckedOnceAndChoosesTheMountPort) {
    p.scope.telescope = 'l';
    p.settings.slewcom = '2';
    comm_check(p);
    EXPECT_EQ(p.scope.comfound, 1);
    EXPECT_EQ(p.settings.Port, 1);
    // Checked: later calls leave the port alone.
    p.settings.Port = 7;
    comm_check(p);
    EXPECT_EQ(p.settings.Port, 7);
}

TEST_F(TelescopeCheckTest, BoxDriveIsCheckedToo) {
    p.scope.telescope = 'b';
    p.settings.slewcom = '1';
    comm_check(p);
    EXPECT_EQ(p.scope.comfound, 1);
    EXPECT_EQ(p.settings.Port, 0);
}

TEST_F(TelescopeCheckTest, SettingsThatCannotBeLoadedAreWrittenAfresh) {
    // A settings file of the wrong length cannot be loaded.
    run_script("set ini_file c:\\short.ini\n");
    const std::string path = map_drive_path(p.drive_root, "c:\\short.ini");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("short", f);
    std::fclose(f);
    comm_check(p);
    EXPECT_NE(take_output().find("message 20: Unable to load INI file"), std::string::npos);
    p.scope.comfound = 0;
    std::FILE* again = std::fopen(path.c_str(), "rb");
    ASSERT_NE(again, nullptr);
    std::fseek(again, 0, SEEK_END);
    EXPECT_EQ(std::ftell(again), 1424);
    std::fclose(again);
}

TEST_F(TelescopeCheckTest, ControlCommandChecksAndNamesTheWindow) {
    p.scope.telescope = 'l';
    const std::string out = run_script("command 24\n");
    EXPECT_EQ(p.scope.comfound, 1);
    EXPECT_NE(out.find("KVR_Q4 Move Telescope"), std::string::npos);
    p.scope.telescope = 'b';
    EXPECT_NE(run_script("command 24\n").find("dialog 31 opened: Move Telescope"),
              std::string::npos);
}

}  // namespace
}  // namespace kvr::test
