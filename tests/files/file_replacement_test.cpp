#include "files/file_replacement.h"

#include <filesystem>

#include "display/bmp_file.h"
#include "files/file_io.h"
#include "files/file_test_support.h"
#include "files/fits_file.h"
#include "files/image_files.h"
#include "files/settings_file.h"
#include "files/tiff_file.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using FileReplacementTest = ProgramTest;

// Every fixed file and every save: a write that fails part way leaves the old file whole, no
// temporary file behind (neither its own nor one an earlier killed save left, nor the scratch
// bitmap's spare, which would hold the last free space of a full disk), and the writer reports
// the failure.
TEST_F(FileReplacementTest, FailedWritesLeaveTheOldFileWhole) {
    const std::string folder = drives.path() + "/saves";
    std::filesystem::create_directory(folder);
    const std::string fits = folder + "/old.fit", native = folder + "/old.raw",
                      tiff = folder + "/old.tif", ini = folder + "/KVR_Q4.INI";
    const std::string bitmap = drives.path() + "/c/kvr_q4.bmp";
    ASSERT_EQ(save_fits_file(p, fits, p.ptr.image, 0), 0);
    ASSERT_TRUE(save_kv_file(p, native));
    ASSERT_EQ(save_tif_file(p, tiff, p.ptr.image, 1), 0);
    ASSERT_EQ(save_ini_file(p, ini), 0);
    ASSERT_EQ(write_bmp(p, p.display.pixels_c, p.display.pixels_bmp, 0, 0), kBmpWritten);
    const std::string paths[] = {fits, native, tiff, ini, bitmap};
    std::string before[5];
    for (int i = 0; i < 5; ++i) before[i] = read_bytes(paths[i]);
    EXPECT_EQ(before[0].size(), 224640u);  // the layouts themselves are unchanged
    EXPECT_EQ(before[3].size(), 1424u);

    // The second refresh leaves the first bitmap in the spare.
    ASSERT_EQ(write_bmp(p, p.display.pixels_c, p.display.pixels_bmp, 0, 0), kBmpWritten);
    const std::string spare = drives.path() + "/c/.kvr_q4.bmp.spare";
    ASSERT_TRUE(std::filesystem::exists(spare));
    write_bytes(folder + "/.old.fit.kvr-K1lled", std::string(5000, 'x'));

    fill_pattern(p.ptr.image, 376 * 290);
    copy_text(p.settings.FITS_Obj, "new");
    take_output();
    {
        FileSizeLimit full_disk(1000);
        EXPECT_EQ(save_fits_file(p, fits, p.ptr.image, 0), 1);
        EXPECT_FALSE(save_kv_file(p, native));
        EXPECT_EQ(save_tif_file(p, tiff, p.ptr.image, 1), 1);
        EXPECT_EQ(save_ini_file(p, ini), 3);
        EXPECT_EQ(write_bmp(p, p.display.pixels_c, p.display.pixels_bmp, 0, 0), kBmpHeaderFailed);
    }
    EXPECT_EQ(take_output(), "message 19: Unable to create/overwrite QX File\n");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(read_bytes(paths[i]), before[i]) << paths[i];
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 4);
    EXPECT_FALSE(std::filesystem::exists(spare));
    // With room again the same saves replace the files.
    ASSERT_EQ(save_fits_file(p, fits, p.ptr.image, 0), 0);
    EXPECT_NE(read_bytes(fits), before[0]);
    EXPECT_EQ(std::filesystem::status(fits).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::others_read);
}

}  // namespace
}  // namespace kvr::test
