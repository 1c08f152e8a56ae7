// The driver's exposures on the simulated camera and the virtual clock: the reads of each
// readout mode, their timing between the worker's other jobs, and an abort.
#include "indi/exposures.h"

#include <gtest/gtest.h>

#include <vector>

#include "acquire/sim_run.h"
#include "camera/camera_protocol.h"
#include "camera/usb_link.h"

namespace kvr::test {
namespace {

using indi::FrameWindow;
using indi::MainExposure;
using indi::ReadoutMode;
using indi::StepResult;

class DriverExposureTest : public SimRunTest {
  protected:
    DriverExposureTest() { EXPECT_TRUE(find_camera(p)); }

    // Runs the exposure's steps at their times, as the worker does between its jobs.
    StepResult finish(MainExposure& e) {
        StepResult r = StepResult::Waiting;
        while (r == StepResult::Waiting && e.due_ms()) {
            clock.wait_until(*e.due_ms());
            r = e.step(p);
        }
        return r;
    }
};

TEST_F(DriverExposureTest, EachReadoutModeReadsItsFieldsAtItsTimes) {
    struct Expected {
        ReadoutMode mode;
        std::vector<uint16_t> fields;
        std::vector<uint32_t> after_ms;  // each read's time from the start
        int width, height;
    };
    const Expected cases[] = {
        {ReadoutMode::Standard, {kFieldBoth}, {2000}, 376, 290},
        {ReadoutMode::HighResFast, {kFieldBoth}, {2000}, 752, 580},
        {ReadoutMode::Progressive, {kField1, kField2}, {2000, 2000}, 752, 580},
        // The odd rows come from a second exposure of their own.
        {ReadoutMode::Interlaced, {kFieldBoth, kField2}, {2000, 4000}, 752, 580},
    };
    std::vector<uint16_t> frame(kFullWidth * kFullHeight);
    for (const Expected& want : cases) {
        SCOPED_TRACE(indi::readout_mode_label(want.mode));
        camera->sent.clear();
        // The progressive mode needs the download time measured below the exposure.
        p.readout.download_time = 0;
        MainExposure e;
        const uint32_t start = clock.ms();
        ASSERT_TRUE(e.start(p, want.mode, FrameWindow{}, 2000));
        ASSERT_EQ(finish(e), StepResult::Done);
        const auto reads = camera->main_reads();
        ASSERT_EQ(reads.size(), want.fields.size());
        for (size_t i = 0; i < reads.size(); ++i) {
            EXPECT_EQ(reads[i].value, want.fields[i]);
            EXPECT_EQ(reads[i].at_ms - start, want.after_ms[i]);
            EXPECT_EQ(reads[i].code, kCmdReadNow);  // the host timed the exposure
        }
        EXPECT_EQ(e.frame_width(), want.width);
        EXPECT_EQ(e.frame_height(), want.height);
        EXPECT_DOUBLE_EQ(e.seconds(), 2.0);
        // Both row parities carry light (the bias alone is some 400).
        e.copy_frame(p, frame.data());
        double even = 0, odd = 0;
        for (int x = 0; x < e.frame_width(); ++x) {
            even += frame[100 * e.frame_width() + x];
            odd += frame[101 * e.frame_width() + x];
        }
        EXPECT_GT(even / e.frame_width(), 300);
        EXPECT_GT(odd / e.frame_width(), 300);
    }
}

TEST_F(DriverExposureTest, ShortExposuresAreTimedByTheCameraAndLateReadsSaySo) {
    MainExposure e;
    ASSERT_TRUE(e.start(p, ReadoutMode::Standard, FrameWindow{}, 400));
    ASSERT_EQ(finish(e), StepResult::Done);
    ASSERT_EQ(camera->main_reads().size(), 1u);
    EXPECT_EQ(camera->main_reads()[0].code, kCmdReadAfterDelay);
    EXPECT_EQ(camera->main_reads()[0].delay_ms, 400u);

    // A guide pulse held the worker 700 ms past the end: the frame collected 2.7 s.
    ASSERT_TRUE(e.start(p, ReadoutMode::Standard, FrameWindow{}, 2000));
    clock.sleep_ms(2700);
    ASSERT_EQ(e.step(p), StepResult::Done);
    EXPECT_DOUBLE_EQ(e.seconds(), 2.7);
}

TEST_F(DriverExposureTest, LongExposuresKeepClearingAndAnAbortReadsNothing) {
    MainExposure e;
    ASSERT_TRUE(e.start(p, ReadoutMode::Standard, FrameWindow{}, 25000));
    camera->sent.clear();
    clock.wait_until(*e.due_ms());
    EXPECT_EQ(e.step(p), StepResult::Waiting);
    clock.wait_until(*e.due_ms());
    EXPECT_EQ(e.step(p), StepResult::Waiting);
    e.abort(p);
    EXPECT_FALSE(e.running());
    EXPECT_FALSE(e.due_ms());
    // Two vertical clears at 10 s and 20 s, then the whole-sensor clear of the abort.
    ASSERT_EQ(camera->sent.size(), 3u);
    EXPECT_EQ(camera->sent[0].value, kClearVerticalRegisters);
    EXPECT_EQ(camera->sent[1].value, kClearVerticalRegisters);
    EXPECT_EQ(camera->sent[2].code, kCmdClear);
    EXPECT_EQ(camera->sent[2].value, kClearWholeSensor);
    EXPECT_TRUE(camera->main_reads().empty());
}

}  // namespace
}  // namespace kvr::test
