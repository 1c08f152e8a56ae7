#include "core/waits.h"

#include "support/test_program.h"

namespace kvr::test {
namespace {

using WaitsTest = ProgramTest;

TEST_F(WaitsTest, OneSecondDelayRunsOutOrEndsAtAPress) {
    EXPECT_EQ(one_sec_delay(p, 2), 0);
    EXPECT_EQ(clock.ms(), 2000u);
    EXPECT_EQ(host.beeps(), 0);
    host.queue_press(2400, ScriptHost::Press::Key);
    EXPECT_EQ(one_sec_delay(p, 1), 1);
    EXPECT_EQ(clock.ms(), 2400u);
    EXPECT_EQ(host.beeps(), 1);
}

TEST_F(WaitsTest, DroppedPressesNeitherEndTheWaitNorStopTheNextRun) {
    host.queue_press(300, ScriptHost::Press::Key);
    uint32_t ticks = clock.ms();
    uint32_t end = ticks + 1000;
    WaitOptions o;
    o.presses = WaitPresses::Dropped;
    EXPECT_FALSE(timed_wait(p, ticks, end, o).stopped);
    EXPECT_EQ(clock.ms(), 1000u);
    EXPECT_EQ(host.beeps(), 0);
    EXPECT_EQ(one_sec_delay(p, 1), 0);  // the press was taken and dropped
}

}  // namespace
}  // namespace kvr::test
