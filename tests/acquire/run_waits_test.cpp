// How a run waits: host-timed and camera-timed exposures, the countdown, the pause between
// continuous frames, and what a key or mouse press does at each of them.
#include <gtest/gtest.h>

#include <algorithm>

#include "acquire/sim_run.h"
#include "camera/camera_protocol.h"
#include "core/program.h"

namespace kvr::test {
namespace {

using RunWaitTest = SimRunTest;

size_t count_clears(const TappedCamera& c, uint16_t flags) {
    return std::count_if(c.sent.begin(), c.sent.end(), [flags](const SentCommand& s) {
        return s.code == kCmdClear && s.value == flags && s.index == kHeadMain;
    });
}

TEST_F(RunWaitTest, ShortUnitWaitDoesNotSeeAKeyUntilAfterTheRead) {
    run_script("key 500\n");
    take_photo("click 702 edit 105 200");  // 2 s in hundredths
    // The wait went on to its end and the frame was read; the press stopped the run afterwards.
    ASSERT_EQ(reads().size(), 1u);
    EXPECT_EQ(reads()[0].at_ms, 2000u);
    EXPECT_EQ(p.run.end_loop, 1);
    EXPECT_EQ(frames_shown(), 0u);
}

TEST_F(RunWaitTest, ShortExposureIsTimedByTheCamera) {
    take_photo("click 703 edit 105 5");  // 0.5 s
    ASSERT_EQ(reads().size(), 1u);
    EXPECT_EQ(reads()[0].code, kCmdReadAfterDelay);
    EXPECT_EQ(reads()[0].delay_ms, 500u);
    EXPECT_EQ(reads()[0].at_ms, 0u);
}

TEST_F(RunWaitTest, LongExposureClearsTheVerticalRegistersEveryTenSeconds) {
    take_photo("edit 105 25");
    EXPECT_EQ(count_clears(*camera, kClearVerticalRegisters), 1u + 2u);
    ASSERT_EQ(reads().size(), 1u);
    EXPECT_EQ(reads()[0].at_ms, 25000u);
}

TEST_F(RunWaitTest, InterlacedFrameBeepsOnceWhenTheFirstFieldIsDue) {
    run_script("set highres_intl 1\nset binned 0\nset download_time 1000\n");
    take_photo("edit 105 5");
    EXPECT_EQ(host.beeps(), 1);
}

TEST_F(RunWaitTest, CountdownRunsBeforeTheFirstExposure) {
    run_script("set pause_secs 3\n");
    const std::string out = take_photo("click 117");
    EXPECT_EQ(lines_starting(out, "progress: EXPOSURE DELAY"),
              (std::vector<std::string>{"progress: EXPOSURE DELAY (Left - 3)",
                                        "progress: EXPOSURE DELAY (Left - 2)",
                                        "progress: EXPOSURE DELAY (Left - 1)"}));
    ASSERT_EQ(reads().size(), 1u);
    EXPECT_EQ(reads()[0].at_ms, 4000u);
    EXPECT_EQ(host.beeps(), 3);
}

TEST_F(RunWaitTest, KeyDuringTheContinuousPauseEndsTheRunAtOnce) {
    run_script("key 30000\n");
    const std::string out = take_photo("click 118 scroll 119 linedown");  // 1 min pauses
    EXPECT_EQ(lines_starting(out, "progress: Pause between exposures").size(), 1u);
    // Exposed 1 s, one second's delay, stopped 28 s into the pause: no further exposure.
    EXPECT_EQ(reads().size(), 1u);
    EXPECT_EQ(clock.ms(), 30000u);
    EXPECT_EQ(frames_shown(), 1u);
}

TEST_F(RunWaitTest, KeyDuringTheSecondBetweenContinuousFramesEndsTheRun) {
    run_script("key 1500\n");
    take_photo("click 118");
    EXPECT_EQ(reads().size(), 1u);
    EXPECT_EQ(p.run.cont_work, 0);
    EXPECT_EQ(frames_shown(), 1u);
}

TEST_F(RunWaitTest, ContinuousRunRepeatsUntilStopped) {
    run_script("key 9500\n");
    take_photo("click 118");
    // 1 s exposure and 1 s delay per frame: frames read at 1, 3, 5, 7 and 9 s.
    EXPECT_EQ(reads().size(), 5u);
    EXPECT_EQ(frames_shown(), 5u);
}

TEST_F(RunWaitTest, ExternalGuiderRunWithoutADriveRefusesAndEnds) {
    run_script("set guider_guiding 1\n");
    const std::string out = take_photo("click 118");
    EXPECT_EQ(lines_starting(out, "message 55: Telescope interface not set").size(), 1u);
    EXPECT_TRUE(reads().empty());
    EXPECT_EQ(p.run.continuous, 0);
    EXPECT_EQ(p.guide.guider_guiding, 0);
}

TEST_F(RunWaitTest, SelfGuidedRunWithoutADriveRefusesBeforeAnyRead) {
    run_script("set selfguiding 1\n");
    const std::string out = take_photo();
    EXPECT_EQ(lines_starting(out, "message 55: Telescope interface not set").size(), 1u);
    EXPECT_TRUE(reads().empty());
    EXPECT_EQ(p.guide.selfguiding, 0);
    EXPECT_FALSE(p.run.running);
}

TEST_F(RunWaitTest, NoCameraEndsTheCommandWithItsMessage) {
    p.devices = nullptr;
    const std::string out = run_script("command 12\n");
    EXPECT_NE(out.find("message 50: Sorry, No camera found on USB"), std::string::npos);
    EXPECT_EQ(out.find("dialog 7"), std::string::npos);
}

TEST_F(RunWaitTest, SecondRunCannotStartInsideARunningOne) {
    p.run.running = true;
    const std::string out = run_script("command 12\n");
    EXPECT_NE(out.find("is disabled now"), std::string::npos);
    EXPECT_EQ(out.find("dialog 7"), std::string::npos);
}

}  // namespace
}  // namespace kvr::test
