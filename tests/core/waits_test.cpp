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

}  // namespace
}  // namespace kvr::test
