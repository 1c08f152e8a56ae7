// The read phase of each readout mode, the calibration of each frame and dropped frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "acquire/sim_run.h"
#include "camera/camera_protocol.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/fits_file.h"
#include "files/image_files.h"

namespace kvr::test {
namespace {

class ReadPhaseTest : public SimRunTest {
  protected:
    // The full frame's row `y` as it stands.
    std::vector<uint16_t> row(int y) const {
        const uint16_t* r = p.buf->image_int + y * kFullWidth;
        return {r, r + kFullWidth};
    }
    double row_mean(int y) const {
        auto r = row(y);
        return std::accumulate(r.begin(), r.end(), 0.0) / r.size();
    }
};

TEST_F(ReadPhaseTest, InterlacedFrameReadsBothFieldsAndCorrectsThem) {
    // Exposures shorter than the download time would run as two exposures.
    run_script("set highres_intl 1\nset binned 0\nset download_time 0\n");
    const int flipflop = p.processing.venetian_flipflop;
    const std::string out = take_photo("click 704 scroll 104 linedown");  // 2 s
    const auto r = reads();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].value, uint16_t{1});
    EXPECT_EQ(r[1].value, uint16_t{2});
    EXPECT_EQ(r[0].code, kCmdReadNow);
    EXPECT_NE(out.find("progress: READ QX CAMERA - Interlaced"), std::string::npos);
    EXPECT_NE(p.processing.venetian_flipflop, flipflop);  // the field correction ran
    EXPECT_EQ(p.readout.highres_intl, 1);
    EXPECT_EQ(p.geo.width1, kFullWidth);
}

TEST_F(ReadPhaseTest, InterlacedFrameWithoutCorrectionKeepsTheBrighterSecondField) {
    run_script("set highres_intl 1\nset binned 0\nset download_time 0\nset apply_correction 0\n");
    const int flipflop = p.processing.venetian_flipflop;
    take_photo("click 704 scroll 104 linedown");
    EXPECT_EQ(p.processing.venetian_flipflop, flipflop);
    // Field 2 keeps collecting light while field 1 is read.
    EXPECT_GT(row_mean(201), row_mean(200));
}

TEST_F(ReadPhaseTest, ShortInterlacedExposureBecomesTwoExposuresAndStaysSo) {
    run_script("set highres_intl 1\nset binned 0\n");  // download_time still 3000
    const std::string out = take_photo();              // 1 s
    EXPECT_EQ(p.readout.highres_intl, 0);
    EXPECT_EQ(p.readout.highres_nonintl, 1);
    const auto r = reads();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].value, kFieldBoth);
    EXPECT_EQ(r[1].value, uint16_t{2});
    // A 1000 ms full-width read is timed by the camera: the host does not wait as well.
    EXPECT_EQ(r[0].code, kCmdReadAfterDelay);
    EXPECT_EQ(r[0].at_ms, 0u);
    EXPECT_NE(out.find("progress: READ QX CAMERA - Interlaced(2nd Exposure)"), std::string::npos);
}

TEST_F(ReadPhaseTest, NonInterlacedSecondExposureIsHostTimedWithProgress) {
    run_script("set highres_nonintl 1\nset binned 0\n");
    const std::string out = take_photo("click 704 scroll 104 linedown");  // 2 s
    const auto r = reads();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].at_ms, 2000u);
    EXPECT_EQ(r[1].at_ms, 4000u);
    EXPECT_NE(out.find("progress: SECOND EXPOSURE"), std::string::npos);
}

TEST_F(ReadPhaseTest, StopDuringTheSecondExposureDropsTheHalfFrame) {
    run_script("set highres_nonintl 1\nset binned 0\nkey 3000\n");
    take_photo("click 704 scroll 104 linedown");
    EXPECT_EQ(reads().size(), 1u);
    EXPECT_EQ(frames_shown(), 0u);
}

TEST_F(ReadPhaseTest, Binned21FrameInterpolatesOddRowsAndLeavesRow579) {
    run_script("set binned21 1\nset binned 0\n");
    std::fill(p.buf->image_int, p.buf->image_int + kFrameBufferLength, uint16_t{4321});
    take_photo();
    const auto r = reads();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].value, kFieldBoth);
    EXPECT_EQ(r[0].bin_x, 1);
    for (int y : {1, 129, 257, 577}) {
        const auto above = row(y - 1), here = row(y), below = row(y + 1);
        for (int x = 0; x < kFullWidth; ++x)
            ASSERT_EQ(here[x], (above[x] + below[x]) / 2) << "row " << y << " column " << x;
    }
    for (uint16_t v : row(579)) ASSERT_EQ(v, 4321);
    EXPECT_NE(row(578)[0], 4321);
}

TEST_F(ReadPhaseTest, FailedReadDropsTheFrameAndTheRunGoesOn) {
    pick_focus_star();
    camera->failing_reads = {2};
    std::fill(p.buf->image_int, p.buf->image_int + kFrameBufferLength, uint16_t{0});
    const std::string out = take_photo("scroll 111 linedown scroll 111 linedown");
    EXPECT_EQ(reads().size(), 3u);
    EXPECT_EQ(lines_starting(out, "message 50: Error 5 trying to read KVRIO data from USB").size(),
              1u);
    // Frames 1 and 3 were shown; the lost one was neither shown nor added.
    EXPECT_EQ(frames_shown(), 2u);
}

TEST_F(ReadPhaseTest, FailedInterlacedSecondFieldDropsTheFrame) {
    run_script("set highres_intl 1\nset binned 0\nset download_time 0\n");
    camera->failing_reads = {2};
    take_photo("click 704 scroll 104 linedown");
    EXPECT_EQ(reads().size(), 2u);
    EXPECT_EQ(frames_shown(), 0u);
}

class FrameCalibrationTest : public ReadPhaseTest {
  protected:
    // Takes a frame with the dialog actions given and keeps it as the dark file `name`.
    void make_dark(const std::string& name, bool fits, const std::string& actions = "") {
        take_photo(actions);
        const int n = p.geo.width1 * p.geo.height1;
        dark.assign(p.buf->image_int, p.buf->image_int + n);
        if (fits)
            ASSERT_EQ(save_fits_file(p, name, p.buf->image_int, 0), 0);
        else
            ASSERT_TRUE(save_kv_file(p, name));
        copy_text(p.settings.DarkFileName, name);
    }
    std::vector<uint16_t> dark;
    bool frame_is_zero() const {
        const int n = p.geo.width1 * p.geo.height1;
        return std::all_of(p.buf->image_int, p.buf->image_int + n,
                           [](uint16_t v) { return v == 0; });
    }
};

TEST_F(FrameCalibrationTest, NativeDarkOfTheSameSkyLeavesNothing) {
    make_dark("c:\\dark.raw", false);
    take_photo("click 113");
    EXPECT_TRUE(frame_is_zero());
    EXPECT_EQ(p.run.darkframe_loaded, 1);
    EXPECT_STREQ(p.shell.process_info[0], "Dark Frame Subtracted");
}

TEST_F(FrameCalibrationTest, FitsDarkIsSubtractedToo) {
    make_dark("c:\\dark.fts", true);
    const std::string out = take_photo("click 113");
    EXPECT_EQ(out.find("message"), std::string::npos) << out;
    EXPECT_TRUE(frame_is_zero());
}

TEST_F(FrameCalibrationTest, MissingDarkGivesMessage3OnEveryFrame) {
    pick_focus_star();
    run_script("set DarkFileName c:\\none.raw\n");
    const std::string out = take_photo("click 113 scroll 111 linedown scroll 111 linedown");
    EXPECT_EQ(lines_starting(out, "message 3: Failed to Open Darkframe QX File").size(), 3u);
    EXPECT_EQ(p.run.darkframe_loaded, 0);
    EXPECT_EQ(reads().size(), 3u);
    // The frame is not calibrated, and its history says so.
    EXPECT_STREQ(p.shell.process_info[0], "");
}

TEST_F(FrameCalibrationTest, DarkOfTheOtherBinningIsRefusedWithMessage4) {
    make_dark("c:\\dark.raw", false);
    const std::string out = take_photo("click 127 click 113");
    EXPECT_EQ(lines_starting(out, "message 4: ").size(), 1u);
}

TEST_F(FrameCalibrationTest, EmptyFileNamesGetTheDefaults) {
    const std::string out = take_photo("click 113 click 122");
    EXPECT_STREQ(p.settings.DarkFileName, "c:\\dark.def");
    EXPECT_STREQ(p.settings.FlatFileName, "c:\\flat.def");
    EXPECT_EQ(lines_starting(out, "message 3: ").size(), 1u);
    EXPECT_EQ(lines_starting(out, "message 5: Failed to Open Flatfield QX File").size(), 1u);
}

TEST_F(FrameCalibrationTest, FlatOfAnEvenFieldKeepsTheFrameLevel) {
    take_photo();
    ASSERT_TRUE(save_kv_file(p, "c:\\flat.raw"));
    run_script("set FlatFileName c:\\flat.raw\n");
    const uint16_t before = pixel(188, 129);
    take_photo("click 122");
    EXPECT_EQ(p.run.flatfield_loaded, 1);
    EXPECT_STREQ(p.shell.process_info[0], "Flatfield Applied");
    // Dividing the same frame by itself gives the flat's mean everywhere.
    EXPECT_NE(pixel(188, 129), before);
    EXPECT_NEAR(pixel(188, 129), pixel(100, 200), 1);
}

TEST_F(FrameCalibrationTest, FieldCorrectionDoesNotOverwriteTheRunsDark) {
    run_script("set highres_intl 1\nset binned 0\nset download_time 0\n");
    make_dark("c:\\dark.raw", false, "click 704 scroll 104 linedown");
    // Two frames of a continuous run: the field correction's undo copy goes where the dark is
    // kept, so the second frame must get the dark from its file again.
    run_script("key 6000\n");  // relative to this script: at 8 s
    const std::string out = take_photo("click 118 click 113");
    ASSERT_EQ(reads().size(), 6u) << out;
    EXPECT_TRUE(std::equal(dark.begin(), dark.end(), p.buf->undo_int));
}

}  // namespace
}  // namespace kvr::test
