// Quick Save: numbered files in the auto-save folder, the mid-exposure stamp, the settings file
// that keeps the number, and a failed write.
#include "files/auto_save.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/drive_paths.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/file_test_support.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

// 2027-03-14 22:00:00 UT.
constexpr int32_t kEveningUt = 1805061600;

class AutoSaveTest : public ProgramTest {
  protected:
    std::string saved(const std::string& drive_path) {
        return read_bytes(map_drive_path(p.drive_root, drive_path));
    }
    std::string ini() { return saved("c:\\autosave\\KVR_Q4.INI"); }
};

TEST_F(AutoSaveTest, NumbersRunUpTo65530ThenStartAgainAtOneAndAreKept) {
    p.settings.auto_save_num = 65529;
    EXPECT_EQ(run_script("command 24336\n"), "");
    // The folder did not exist: it was made, and the file lands in it.
    const std::string last = saved("c:\\AUTOSAVE\\IMG65530.FIT");
    EXPECT_EQ(last.size(), 224640u);  // 16-bit binned frame in whole 2880-byte blocks
    ASSERT_EQ(ini().size(), 1424u);
    EXPECT_EQ(static_cast<uint8_t>(ini()[0]) | static_cast<uint8_t>(ini()[1]) << 8, 65530);

    run_script("command 24336\n");
    EXPECT_EQ(p.settings.auto_save_num, 1u);
    EXPECT_FALSE(saved("c:\\autosave\\img1.fit").empty());
    EXPECT_EQ(ini()[0], 1);
}

TEST_F(AutoSaveTest, StampIsTheMiddleOfTheExposureInTheProgramsTimeZone) {
    p.run.start_exp = kEveningUt;
    p.run.end_exp = kEveningUt + 600;
    run_script("command 24336\ncommand 24336\n");
    for (const char* name : {"c:\\AUTOSAVE\\IMG1.FIT", "c:\\AUTOSAVE\\IMG2.FIT"}) {
        const std::string f = saved(name);
        EXPECT_EQ(card(f, 11).substr(0, 22), "DATE-OBS= '2027-03-14'") << name;
        EXPECT_EQ(card(f, 12).substr(0, 20), "TIME-OBS= '22:05:00'") << name;
    }
    EXPECT_EQ(p.run.start_exp, kEveningUt);

    // Three hours behind UT, an odd length rounded down, the day before at 00:02:30 UT.
    p.settings.FITS_Diff = 3;
    p.run.start_exp = kEveningUt + 7200;
    p.run.end_exp = kEveningUt + 7200 + 301;
    run_script("command 24336\n");
    EXPECT_STREQ(p.settings.FITS_Time, "21:02:30");
    EXPECT_STREQ(p.settings.FITS_Date, "2027-03-14");
}

TEST_F(AutoSaveTest, FailedWriteShowsMessage49AndUsesTheNumberUp) {
    // A file where the folder should be: the folder cannot be made, the FITS write fails.
    write_bytes(map_drive_path(p.drive_root, "c:\\blocked"), "x");
    copy_text(p.settings.auto_save_dir, "c:\\blocked");
    EXPECT_EQ(run_script("command 24336\n"),
              "message 49: Unable to create file, check disk space\n");
    EXPECT_EQ(p.settings.auto_save_num, 1u);
    EXPECT_TRUE(ini().empty());  // not written after a failed save
}

// The stored number lags behind the files when the settings file was not written after a save
// (a full disk, or a kill between the two writes): the files already there are passed over,
// also after the numbers wrap, and a dangling link counts as taken.
TEST_F(AutoSaveTest, ExistingNumberedFilesAreNeverReplaced) {
    const std::string folder = map_drive_path(p.drive_root, "c:\\AUTOSAVE");
    std::filesystem::create_directories(folder);
    for (const char* name : {"IMG1.FIT", "IMG2.FIT", "IMG3.FIT"})
        write_bytes(folder + "/" + name, name);
    std::filesystem::create_symlink("elsewhere.FIT", folder + "/IMG5.FIT");
    p.settings.auto_save_num = 1;
    EXPECT_EQ(run_script("command 24336\n"), "");
    EXPECT_EQ(p.settings.auto_save_num, 4u);
    EXPECT_EQ(ini()[0], 4);
    EXPECT_EQ(read_bytes(folder + "/IMG4.FIT").size(), 224640u);

    p.settings.auto_save_num = 65530;
    EXPECT_EQ(run_script("command 24336\n"), "");
    EXPECT_EQ(p.settings.auto_save_num, 6u);
    EXPECT_EQ(read_bytes(folder + "/IMG6.FIT").size(), 224640u);
    for (const char* name : {"IMG1.FIT", "IMG2.FIT", "IMG3.FIT"})
        EXPECT_EQ(read_bytes(folder + "/" + name), name);
    EXPECT_TRUE(std::filesystem::is_symlink(folder + "/IMG5.FIT"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/elsewhere.FIT"));
}

// The image is on disk but the settings file could not keep its number: said so, and the
// number in memory still moves on.
TEST_F(AutoSaveTest, FailedSettingsWriteAfterTheImageIsReported) {
    const std::string ini_path = map_drive_path(p.drive_root, "c:\\autosave\\KVR_Q4.INI");
    std::filesystem::create_directories(ini_path);  // a folder where the file should be
    EXPECT_EQ(run_script("command 24336\n"),
              "message 50: The image was saved as IMG1.FIT, but its number could not be kept in "
              "the settings file; please check disk space\n");
    EXPECT_EQ(saved("c:\\AUTOSAVE\\IMG1.FIT").size(), 224640u);
    std::filesystem::remove(ini_path);
    EXPECT_EQ(run_script("command 24336\n"), "");
    EXPECT_FALSE(saved("c:\\AUTOSAVE\\IMG2.FIT").empty());
    EXPECT_EQ(ini()[0], 2);
}

TEST_F(AutoSaveTest, LinuxFolderAndBaseName) {
    const std::string folder = drives.path() + "/linux pictures";
    copy_text(p.settings.auto_save_dir, folder);
    run_script("set auto_save_name M42_\nset auto_save_num 6\ncommand 24336\n");
    EXPECT_TRUE(std::filesystem::exists(folder + "/M42_7.FIT"));
}

}  // namespace
}  // namespace kvr::test
