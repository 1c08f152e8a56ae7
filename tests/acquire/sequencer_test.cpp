// Camera runs end to end: set-up, frame and run loops, series, continuous runs and the stop.
#include <gtest/gtest.h>

#include "acquire/sim_run.h"
#include "camera/camera_protocol.h"
#include "core/program.h"

namespace kvr::test {
namespace {

using SequencerTest = SimRunTest;

TEST_F(SequencerTest, BinnedSingleFrameIsReadShownAndRecorded) {
    const std::string out = take_photo();
    EXPECT_EQ(lines_starting(out, "progress: "),
              (std::vector<std::string>{"progress: EXPOSURE UNDERWAY",
                                        "progress: READ QX CAMERA - takes 1 - 2 seconds"}));
    ASSERT_EQ(reads().size(), 1u);
    EXPECT_EQ(reads()[0].code, kCmdReadNow);  // 1000 ms binned: the host timed it
    EXPECT_EQ(reads()[0].bin_x, 2);
    EXPECT_EQ(reads()[0].at_ms, 1000u);
    EXPECT_EQ(p.geo.width1, kBinnedWidth);
    EXPECT_DOUBLE_EQ(p.settings.FITS_Exptime, 1.0);
    EXPECT_DOUBLE_EQ(p.settings.FITS_Pixwidth, 0.0172);
    EXPECT_EQ(p.run.no_images, 0);
    EXPECT_EQ(frames_shown(), 1u);
    EXPECT_EQ(p.run.hooks.auto_saves, 0);
    EXPECT_STREQ(p.shell.image_name, "QX Camera Image");
    // The focus star sits near (376, 258) of the full frame: (188, 129) binned.
    EXPECT_GT(pixel(188, 129), 5 * pixel(20, 20));
    EXPECT_FALSE(p.run.running);
}

TEST_F(SequencerTest, CancelledDialogTakesNothing) {
    run_script("dialog 7 click 2\ncommand 12\n");
    EXPECT_TRUE(reads().empty());
    EXPECT_EQ(frames_shown(), 0u);
}

TEST_F(SequencerTest, NumberedRunTakesEachFrameAndCountsDown) {
    pick_focus_star();
    const std::string out = take_photo("scroll 111 linedown scroll 111 linedown");
    EXPECT_EQ(reads().size(), 3u);
    const auto captions = lines_starting(out, "progress: EXPOSURE");
    EXPECT_EQ(captions, (std::vector<std::string>{"progress: EXPOSURE UNDERWAY (Left - 3)",
                                                  "progress: EXPOSURE UNDERWAY (Left - 2)",
                                                  "progress: EXPOSURE UNDERWAY"}));
    EXPECT_DOUBLE_EQ(p.settings.FITS_Exptime, 3.0);  // the run's total
    EXPECT_EQ(p.run.total_images, 3);
}

TEST_F(SequencerTest, KeyDuringTheWaitEndsAFiveFrameRunWithoutReadingThatFrame) {
    pick_focus_star();
    run_script("key 7500\n");
    const std::string out = take_photo(
        "click 704 scroll 104 linedown scroll 104 linedown scroll 111 linedown "
        "scroll 111 linedown scroll 111 linedown scroll 111 linedown");
    // 3 s frames: the first two are read at 3 s and 6 s, the third is stopped at 7.5 s.
    ASSERT_EQ(reads().size(), 2u);
    EXPECT_EQ(p.run.end_loop, 1);
    EXPECT_EQ(p.run.no_images, 0);
    EXPECT_EQ(frames_shown(), 2u);  // the stopped frame is not shown
    EXPECT_EQ(lines_starting(out, "progress: READ").size(), 2u);
    EXPECT_GE(clock.ms(), 7500u);
    EXPECT_LT(clock.ms(), 7600u);
}

TEST_F(SequencerTest, StopInASeriesRestoresTheStartingExposure) {
    run_script("set series_exposure 1\nkey 3000\n");
    const std::string out = take_photo();
    // E = 1 s, then 4 s: stopped during the second exposure, which is not read.
    EXPECT_EQ(reads().size(), 1u);
    EXPECT_EQ(p.readout.exposure, 1000);
    EXPECT_EQ(p.run.series_work, 0);
    EXPECT_NE(out.find("message 50: Exposure Series Completed"), std::string::npos);
}

TEST_F(SequencerTest, SeriesTakesFiveExposuresRisingFourfold) {
    run_script("set series_exposure 1\n");
    const std::string out = take_photo("click 703 scroll 104 linedown");  // 0.2 s
    const auto series = reads();
    ASSERT_EQ(series.size(), 5u);
    // 200 and 800 ms are timed by the camera; 3.2, 12.8 and 51.2 s by the host.
    EXPECT_EQ(series[0].delay_ms, 200u);
    EXPECT_EQ(series[1].delay_ms, 800u);
    for (int i = 2; i < 5; ++i) EXPECT_EQ(series[i].code, kCmdReadNow);
    EXPECT_EQ(series[4].at_ms - series[3].at_ms, 51200u);
    EXPECT_EQ(p.readout.exposure, 200);
    EXPECT_EQ(lines_starting(out, "message 50: Exposure Series Completed").size(), 1u);
    EXPECT_EQ(frames_shown(), 5u);
}

TEST_F(SequencerTest, ContinuousSeriesStartsAgainFromTheFirstExposure) {
    run_script("set series_exposure 1\nset continuous 1\nkey 80000\n");
    take_photo("click 703 scroll 104 linedown");
    const auto r = reads();
    ASSERT_GE(r.size(), 6u);
    EXPECT_EQ(r[5].delay_ms, 200u);  // the sixth exposure is E again
    EXPECT_EQ(p.readout.exposure, 200);
}

}  // namespace
}  // namespace kvr::test
