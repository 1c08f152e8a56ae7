// Where saves land: through symbolic links, never over a file that must stay, and what killed
// saves left behind is cleared at the next start.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/startup.h"
#include "core/drive_paths.h"
#include "files/file_io.h"
#include "files/file_replacement.h"
#include "files/file_test_support.h"
#include "files/fits_file.h"
#include "files/settings_file.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

namespace fs = std::filesystem;

using SaveTargetTest = ProgramTest;

int hidden_files(const std::string& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        n += entry.path().filename().string()[0] == '.';
    return n;
}

// A file reached through a link is updated where it lives and the link stays, for an absolute
// link, a chain of relative ones ending at a file not made yet, and not at all for a loop.
TEST_F(SaveTargetTest, LinkedFilesAreUpdatedAndTheLinksKept) {
    const std::string real = drives.path() + "/real";
    const std::string ini = map_drive_path(p.drive_root, text_of(p.settings.ini_file));
    fs::create_directories(real);
    fs::create_directories(fs::path(ini).parent_path());
    write_bytes(real + "/settings", "old");
    fs::create_symlink(real + "/settings", ini);
    ASSERT_EQ(save_ini_file(p, text_of(p.settings.ini_file)), 0);
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_EQ(read_bytes(real + "/settings").size(), kSettingsFileBytes);

    const std::string picture = drives.path() + "/picture.fit";
    fs::create_symlink("real/chain.fit", picture);
    fs::create_symlink("final.fit", real + "/chain.fit");
    ASSERT_EQ(save_fits_file(p, picture, p.ptr.image, 0), 0);
    EXPECT_TRUE(fs::is_symlink(picture));
    EXPECT_TRUE(fs::is_symlink(real + "/chain.fit"));
    EXPECT_EQ(read_bytes(real + "/final.fit").size(), 224640u);

    fs::create_symlink("b.fit", drives.path() + "/a.fit");
    fs::create_symlink("a.fit", drives.path() + "/b.fit");
    EXPECT_EQ(save_fits_file(p, drives.path() + "/a.fit", p.ptr.image, 0), 1);
    EXPECT_TRUE(fs::is_symlink(drives.path() + "/a.fit"));
    EXPECT_EQ(hidden_files(real) + hidden_files(drives.path()), 0);
}

// A file that must not replace anything finds its name taken: the old file stays as it was.
TEST_F(SaveTargetTest, NewFileNeverReplaces) {
    const std::string taken = drives.path() + "/IMG1.FIT";
    write_bytes(taken, "first");
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(create_new_file(taken, bytes, sizeof bytes), NewFile::Exists);
    EXPECT_EQ(read_bytes(taken), "first");
    EXPECT_EQ(create_new_file(drives.path() + "/IMG2.FIT", bytes, sizeof bytes), NewFile::Created);
    EXPECT_EQ(read_bytes(drives.path() + "/IMG2.FIT"), "\1\2\3");
    EXPECT_EQ(hidden_files(drives.path()), 0);
}

// Start-up removes the temporary files killed saves left in the program's folders (in the
// older naming too) and leaves everything else: other hidden files, the bitmap's spare, and
// the temporary file of a save that another instance is making right now.
TEST_F(SaveTargetTest, StartUpRemovesWhatKilledSavesLeft) {
    const std::string settings = drives.path() + "/c/autosave";
    const std::string pictures = drives.path() + "/pictures";
    const std::string root = drives.path() + "/c";
    fs::create_directories(settings);
    fs::create_directories(pictures);
    copy_text(p.settings.auto_save_dir, pictures);
    const std::string stale[] = {settings + "/.KVR_Q4.INI.kvr-a1B2c3",
                                 settings + "/.KVR_Q4.INI.Zx81Qa", pictures + "/.IMG3.FIT.q9W8e7",
                                 pictures + "/.~dark.Ab12Cd", root + "/.kvr_q4.bmp.kvr-7hGf5D"};
    const std::string kept[] = {pictures + "/.notes.backup", pictures + "/.M42.png.abcdef",
                                pictures + "/.IMG5.FIT.kvr-abc", pictures + "/IMG4.FIT",
                                root + "/.kvr_q4.bmp.spare"};
    for (const auto& path : stale) write_bytes(path, std::string(224640, 's'));
    for (const auto& path : kept) write_bytes(path, "kept");
    FileReplacement running(pictures + "/IMG9.FIT");
    ASSERT_TRUE(running.opened());
    ASSERT_TRUE(write_fully(running.fd(), "late", 4));

    start_up(p);
    for (const auto& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
    for (const auto& path : kept) EXPECT_EQ(read_bytes(path), "kept") << path;
    ASSERT_TRUE(running.commit());
    EXPECT_EQ(read_bytes(pictures + "/IMG9.FIT"), "late");
    EXPECT_EQ(hidden_files(pictures), 3);
}

}  // namespace
}  // namespace kvr::test
