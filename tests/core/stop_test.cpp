#include "core/messages.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using StopTest = ProgramTest;

// A host-timed wait as the sequencer runs it: poll the timer and pump until the end time.
int wait_like_an_exposure(Program& p, uint32_t duration_ms) {
    p.readout.ticks = p.clock.ms();
    p.readout.endticks = p.readout.ticks + duration_ms;
    int stops = 0;
    while (p.readout.ticks < p.readout.endticks) {
        p.clock.idle(p.readout.endticks);
        p.readout.ticks = p.clock.ms();
        if (clear_messages(p)) ++stops;
    }
    return stops;
}

TEST_F(StopTest, KeyScheduledDuringAWaitStopsTheRunAtThatTime) {
    RunState& r = p.run;
    r.no_images = 5;
    r.series_exposure = 1;
    r.exposure_save = 1000;
    p.readout.exposure = 64000;
    r.cont_work = r.series_work = 1;
    r.continuous = 1;
    p.guide.guiding = 1;
    p.guide.tracking = 1;
    p.guide.selfguiding = 1;
    r.selfguiding_darkframe = 1;
    r.switch_frame = 1;
    p.readout.focus_x = 100;
    p.readout.focus_y = 200;
    info_open(p);
    host.queue_press(5000, ScriptHost::Press::Key);

    EXPECT_EQ(wait_like_an_exposure(p, 60000), 1);
    EXPECT_EQ(clock.ms(), 5000u);  // the wait ended at the key press, not at 60 s
    EXPECT_EQ(r.no_images, 1);
    EXPECT_EQ(r.end_loop, 1);
    EXPECT_EQ(p.readout.exposure, 1000);
    EXPECT_EQ(r.cont_work, 0);
    EXPECT_EQ(r.series_work, 0);
    EXPECT_EQ(r.continuous, 0);  // cleared because guiding was on
    EXPECT_EQ(p.guide.guiding, 0);
    EXPECT_EQ(p.guide.tracking, 0);
    EXPECT_EQ(p.guide.selfguiding, 0);
    EXPECT_EQ(r.selfguiding_darkframe, 0);
    EXPECT_EQ(r.switch_frame, 0);
    EXPECT_EQ(p.readout.focus_x, 312);
    EXPECT_EQ(p.readout.focus_y, 65);
    EXPECT_FALSE(info_is_open(p));
    EXPECT_EQ(host.beeps(), 1);
}

TEST_F(StopTest, WithoutAPressNothingChangesAndContinuousStaysWithoutGuiding) {
    p.run.continuous = 1;
    p.run.no_images = 4;
    p.readout.exposure = 64000;
    p.run.exposure_save = 1000;
    EXPECT_EQ(wait_like_an_exposure(p, 2000), 0);
    EXPECT_EQ(p.run.no_images, 4);
    host.queue_press(clock.ms(), ScriptHost::Press::Key);
    EXPECT_TRUE(clear_messages(p));
    EXPECT_EQ(p.run.continuous, 1);        // not guiding: continuous is left alone
    EXPECT_EQ(p.readout.exposure, 64000);  // not a series: exposure is left alone
}

}  // namespace
}  // namespace kvr::test
