#include "files/image_files.h"

#include <sys/stat.h>

#include <filesystem>

#include "core/program.h"
#include "files/file_io.h"
#include "files/file_test_support.h"
#include "files/fits_file.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class ImageFilesTest : public ProgramTest {
  protected:
    std::string path(const std::string& name) { return drives.path() + "/" + name; }
    // A native file of `pixels` little-endian words from the pattern.
    void write_native(const std::string& name, size_t pixels) {
        std::string bytes(pixels * 2, '\0');
        for (size_t i = 0; i < pixels; ++i) {
            bytes[2 * i] = static_cast<char>(pattern_pixel(i) & 0xff);
            bytes[2 * i + 1] = static_cast<char>(pattern_pixel(i) >> 8);
        }
        write_bytes(path(name), bytes);
    }
    void set_frame(bool binned) {
        p.readout.binned = binned;
        p.readout.binned21 = !binned;
        set_readout_geometry(p);
    }
    void write_fits(const std::string& name, bool binned) {
        set_frame(binned);
        fill_pattern(p.ptr.image, size_t(p.geo.width1) * p.geo.height1);
        ASSERT_EQ(save_fits_file(p, path(name), p.ptr.image, 0), 0);
    }
};

TEST_F(ImageFilesTest, NativeFilesSetTheFrameFromTheirLength) {
    write_native("~b", 376 * 290);
    p.readout.highres_intl = 1;
    ASSERT_TRUE(load_kv_file(p, path("~b")));
    EXPECT_EQ(p.readout.binned, 1);
    EXPECT_EQ(p.readout.highres_intl, 0);
    EXPECT_EQ(p.geo.width1, 376);
    EXPECT_EQ(p.ptr.image[5], pattern_pixel(5));
    EXPECT_STREQ(p.shell.image_name, "~b");
    write_native("~f", 752 * 580);
    ASSERT_TRUE(load_kv_file(p, path("~f")));
    EXPECT_EQ(p.readout.binned, 0);
    EXPECT_EQ(p.readout.binned21, 1);
    EXPECT_EQ(p.geo.intlength, 436164);
    EXPECT_EQ(p.ptr.image[752 * 580 - 1], pattern_pixel(752 * 580 - 1));
    // Each load is shown, captioned with the file's title.
    EXPECT_EQ(take_output(), "caption: KVR_Q4_USB - ~b\ncaption: KVR_Q4_USB - ~f\n");
}

TEST_F(ImageFilesTest, RefusalsLeaveImageModeAndGeometryAlone) {
    write_native("odd", 376 * 290);
    write_bytes(path("odd"), read_bytes(path("odd")) + "x");
    std::filesystem::create_directory(path("dir"));
    p.ptr.image[0] = 4321;
    EXPECT_FALSE(load_kv_file(p, path("odd")));
    EXPECT_FALSE(load_kv_file(p, path("missing")));
    EXPECT_FALSE(load_kv_file(p, path("dir")));
    // A pipe nobody writes to is refused at once, not waited on.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(load_kv_file(p, path("pipe")));
    EXPECT_EQ(take_output(),
              "message 41: You didn't choose an QX or a suitable FITS File\n"
              "message 41: You didn't choose an QX or a suitable FITS File\n"
              "message 11: Failed to Open QX File\n"
              "message 11: Failed to Open QX File\n");
    // A FITS file whose header does not fit its length: the header is refused and the
    // binned frame that was shown stays.
    write_fits("big.fit", false);
    std::string f = read_bytes(path("big.fit"));
    f.replace(80 * 3 + 27, 3, "376");
    write_bytes(path("big.fit"), f);
    set_frame(true);
    p.ptr.image[0] = 4321;
    EXPECT_FALSE(load_kv_file(p, path("big.fit")));
    EXPECT_EQ(take_output(),
              "message 14: Unable to load FITS file, File was not saved by this program\n");
    EXPECT_EQ(p.readout.binned, 1);
    EXPECT_EQ(p.readout.binned21, 0);
    EXPECT_EQ(p.geo.width1, 376);
    EXPECT_EQ(p.ptr.image[0], 4321);
}

TEST_F(ImageFilesTest, FailedOpenKeepsTheImageItsHeaderTextsAndCaption) {
    write_fits("big.fit", false);
    std::string f = read_bytes(path("big.fit"));
    f.replace(80 * 3 + 27, 3, "376");
    write_bytes(path("big.fit"), f);
    write_bytes(path("odd"), "odd");
    write_fits("good.fit", true);
    ASSERT_TRUE(load_kv_file(p, path("good.fit")));
    copy_text(p.settings.FITS_Obj, "M42");
    copy_text(p.shell.process_info[0], "Unsharp Mask");
    p.settings.FITS_Exptime = 30;
    p.ptr.image[0] = 4321;
    take_output();
    for (const char* name : {"big.fit", "odd"}) {
        EXPECT_NE(run_script("file " + path(name) + "\ncommand 24332\n").find("message"),
                  std::string::npos);
        EXPECT_STREQ(p.settings.FITS_Obj, "M42");
        EXPECT_STREQ(p.shell.process_info[0], "Unsharp Mask");
        EXPECT_EQ(p.settings.FITS_Exptime, 30);
        EXPECT_STREQ(p.shell.image_name, "good.fit");
        EXPECT_EQ(p.ptr.image[0], 4321);
    }
}

TEST_F(ImageFilesTest, FitsFilesLoadAtBothFullLengths) {
    write_fits("full.fit", false);
    const std::string f = read_bytes(path("full.fit"));
    write_bytes(path("std.fit"), f.substr(0, 878400));
    set_frame(true);
    for (const char* name : {"full.fit", "std.fit"}) {
        std::fill_n(p.ptr.image, 436164, uint16_t{0});
        copy_text(p.settings.FITS_Obj, "old");
        ASSERT_TRUE(load_kv_file(p, path(name))) << name;
        EXPECT_EQ(p.readout.binned21, 1);
        EXPECT_EQ(p.ptr.image[752 * 580 - 1], pattern_pixel(752 * 580 - 1));
        EXPECT_STREQ(p.settings.FITS_Obj, "");  // cleared, then read from the header
    }
    EXPECT_EQ(take_output(), "caption: KVR_Q4_USB - full.fit\ncaption: KVR_Q4_USB - std.fit\n");
}

TEST_F(ImageFilesTest, NativeSaveIsLittleEndianRows) {
    set_frame(true);
    p.ptr.image[0] = 0x1234;
    ASSERT_TRUE(save_kv_file(p, path("~s")));
    const std::string f = read_bytes(path("~s"));
    EXPECT_EQ(f.size(), 218080u);
    EXPECT_EQ(f.substr(0, 2), "\x34\x12");
    EXPECT_FALSE(save_kv_file(p, path("no/dir/~s")));
    std::filesystem::create_directory(path("adir"));
    EXPECT_FALSE(save_kv_file(p, path("adir")));
    EXPECT_EQ(take_output(),
              "message 19: Unable to create/overwrite QX File\n"
              "message 17: Failed to Save QX File\n");
}

TEST_F(ImageFilesTest, WorkingImageLoadsOnlyFilesOfTheCurrentFrame) {
    write_native("~b", 376 * 290);
    write_fits("b.fit", true);
    set_frame(false);
    EXPECT_EQ(trial_load(p, p.ptr.trial, p.ptr.trial, path("~b")), 2);
    EXPECT_EQ(trial_load(p, p.ptr.trial, p.ptr.trial, path("b.fit")), 2);
    EXPECT_EQ(trial_load(p, p.ptr.trial, p.ptr.trial, path("none")), 2);
    std::filesystem::create_directory(path("d"));
    EXPECT_EQ(trial_load(p, p.ptr.trial, p.ptr.trial, path("d")), 1);
    EXPECT_EQ(load_kv_temp_file(p, path("~b")), 1);
    EXPECT_EQ(load_kv_temp_file(p, path("d")), 1);
    EXPECT_EQ(take_output(),
              "message 12: Sorry, you didn't choose a valid QX File\n"
              "message 11: Failed to Open QX File\n");
    set_frame(true);
    std::fill_n(p.ptr.trial, 436164, uint16_t{0});
    EXPECT_EQ(load_kv_temp_file(p, path("b.fit")), 0);
    EXPECT_EQ(p.ptr.trial[3], pattern_pixel(3));
    EXPECT_STREQ(p.settings.FITS_Ins, "Korvalen Imaging CCD");
}

TEST_F(ImageFilesTest, ForeignOrShortFitsGiveTwelveAndKeepTheBuffer) {
    write_fits("b.fit", true);
    std::string f = read_bytes(path("b.fit"));
    std::string wide = f;
    wide.replace(80 * 3 + 27, 3, "752");
    write_bytes(path("wide.fit"), wide);
    std::string real = f;
    real.replace(80 + 27, 3, "-32");
    write_bytes(path("eight.fit"), real);
    std::fill_n(p.ptr.trial, 436164, uint16_t{7});
    EXPECT_EQ(trial_load(p, p.ptr.trial, p.ptr.trial, path("wide.fit")), 12);
    EXPECT_EQ(trial_load(p, p.ptr.trial, p.ptr.trial, path("eight.fit")), 12);
    EXPECT_EQ(p.ptr.trial[0], 7);
    copy_text(p.settings.ComparisonFileName, path("wide.fit"));
    EXPECT_EQ(load_comparison_file(p, p.ptr.comparison, p.ptr.comparison), 12);
    copy_text(p.settings.ComparisonFileName, path("nothing"));
    EXPECT_EQ(load_comparison_file(p, p.ptr.comparison, p.ptr.comparison), 12);
    std::filesystem::create_directory(path("d"));
    copy_text(p.settings.ComparisonFileName, path("d"));
    EXPECT_EQ(load_comparison_file(p, p.ptr.comparison, p.ptr.comparison), 11);
    copy_text(p.settings.ComparisonFileName, path("b.fit"));
    EXPECT_EQ(load_comparison_file(p, p.ptr.comparison, p.ptr.comparison), 0);
    EXPECT_EQ(p.ptr.comparison[1], 65535);
}

}  // namespace
}  // namespace kvr::test
