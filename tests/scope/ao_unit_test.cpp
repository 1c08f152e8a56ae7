// The AO unit's commands over the camera serial ports and the box relays, and the filter wheel.
#include "scope/ao_unit.h"

#include <gtest/gtest.h>

#include "scope/filter_wheel.h"
#include "scope/port_recorder.h"

namespace kvr::test {
namespace {

using Texts = std::vector<std::string>;
using AoUnitTest = ScopeTest;

void slew(Program& p, char direction, int steps) {
    p.scope.AOUnitslewdir = direction;
    p.scope.AOUnitslew_time = steps;
    ao_unit_slew(p);
}

TEST_F(AoUnitTest, GuidingMovesStopAtTheTravelLimitAndBumpTheMount) {
    p.settings.AOUnit_comport = 1;  // "Ser 1": camera serial port 1
    p.settings.guider_slewx = 8;
    p.settings.guider_slewy = 8;
    p.settings.AOUnit_halfrate = 1;
    for (int i = 0; i < 3; ++i) slew(p, 'n', 25);
    EXPECT_EQ(p.scope.AO_ns, 75);
    EXPECT_EQ(rec->writes[0].bytes, "GN00025");
    EXPECT_EQ(rec->writes[0].port, 0);
    EXPECT_EQ(rec->writes[1].at_ms - rec->writes[0].at_ms, 50);
    // Beyond 50 the third move bumped the mount north: 400 / 8, halved.
    EXPECT_EQ(rec->texts(), (Texts{"GN00025", "GN00025", "GN00025", "MN00025"}));
    EXPECT_STREQ(p.scope.AOUnit_sendtomount, "N");

    // The fourth reaches 100: refused, with the offset kept. The bump 150 ms after the last one
    // is skipped.
    rec->writes.clear();
    slew(p, 'n', 25);
    EXPECT_EQ(p.scope.AOUnit_failed, 1);
    EXPECT_EQ(p.scope.AO_ns, 100);
    EXPECT_TRUE(rec->writes.empty());

    // East beyond 50 with the swapped bump letters; after 700 ms both axes bump, 100 ms apart.
    clock.advance(700);
    p.settings.Mt = 'W';
    p.scope.AO_ns = 75;
    p.scope.AO_ew = 40;
    slew(p, 'e', 20);
    EXPECT_EQ(p.scope.AOUnit_failed, 0);
    EXPECT_EQ(rec->texts(), (Texts{"GT00020", "MN00025", "MW00025"}));
    EXPECT_EQ(rec->writes[2].at_ms - rec->writes[1].at_ms, 150);

    // Back to centre, axis by axis, 300 ms after each.
    rec->writes.clear();
    p.scope.AO_ew = -12;
    ao_unit_reset(p);
    EXPECT_EQ(rec->texts(), (Texts{"GS00075", "GT00012"}));
    EXPECT_EQ(rec->writes[1].at_ms - rec->writes[0].at_ms, 350);
    EXPECT_EQ(p.scope.AO_ns, 0);
    EXPECT_EQ(p.scope.AO_ew, 0);
}

TEST_F(AoUnitTest, BumpCompensationLearnsTheShiftAndMovesTheElementWithEachBump) {
    p.settings.guider_slewx = 8;  // bumps of 25 counts with half rate
    p.scope.AOUnit_bump_compensate = 1;
    // No shift learned yet: the first bump goes alone.
    p.scope.AO_ns = 45;
    slew(p, 'n', 10);
    EXPECT_EQ(rec->texts(), (Texts{"GN00010", "MN00025"}));
    // The next frame still asks 8 steps north of the element: the bump moved the image 8 steps
    // back, 320 thousandths of a step per count. Later frames teach nothing more.
    ao_unit_bump_seen(p, 's', 8);
    EXPECT_EQ(p.scope.AOUnit_bump_shift_ns, 320);
    ao_unit_bump_seen(p, 's', 30);
    EXPECT_EQ(p.scope.AOUnit_bump_shift_ns, 320);

    // The next bump south takes the element 8 steps towards centre with it; the frame after finds
    // the image 2 steps further on, and the estimate moves a quarter of the way.
    rec->writes.clear();
    clock.advance(700);
    p.scope.AO_ns = -45;
    slew(p, 's', 10);
    EXPECT_EQ(rec->texts(), (Texts{"GS00010", "MS00025", "GN00008"}));
    EXPECT_EQ(p.scope.AO_ns, -47);
    ao_unit_bump_seen(p, 'n', 2);
    EXPECT_EQ(p.scope.AOUnit_bump_shift_ns, 340);

    // Off by default: the unit's plain bump.
    rec->writes.clear();
    clock.advance(700);
    p.scope.AOUnit_bump_compensate = 0;
    p.scope.AO_ns = 0;
    slew(p, 'n', 60);
    EXPECT_EQ(rec->texts(), (Texts{"GN00060", "MN00025"}));
}

TEST_F(AoUnitTest, ManualMovesCentringAndTheSecondPort) {
    p.settings.AOUnit_comport = 0;  // "Ser 2": camera serial port 2
    p.scope.AOUnitslewdir = 'w';
    p.scope.AOUnitslew_time = 120;
    ao_unit_move(p);
    EXPECT_EQ(p.scope.AO_ew, -120);
    centralise_ao_unit(p);
    ASSERT_EQ(rec->writes.size(), 2u);
    EXPECT_EQ(rec->writes[0].bytes, "MW00120");
    EXPECT_EQ(rec->writes[0].port, 1);
    EXPECT_EQ(rec->writes[1].bytes, "K");
    EXPECT_EQ(p.scope.AO_ew, 0);
    // A count five digits cannot carry is refused.
    p.scope.AOUnitslew_time = 100000;
    ao_unit_move(p);
    EXPECT_EQ(rec->writes.size(), 2u);
    EXPECT_NE(take_output().find("refused"), std::string::npos);
}

TEST_F(AoUnitTest, ParallelModeHoldsOneRelayLow) {
    p.settings.AOUnitModeParallel = 1;
    const int64_t t0 = clock.ms();
    slew(p, 'n', 40);
    ASSERT_EQ(rec->relays.size(), 2u);
    EXPECT_EQ(rec->relays[0].bits, 11);
    EXPECT_EQ(rec->relays[0].at_ms, t0 + 10);
    EXPECT_EQ(rec->relays[1].bits, 15);
    EXPECT_EQ(rec->relays[1].at_ms, t0 + 50);
    EXPECT_EQ(clock.ms(), t0 + 350);
    EXPECT_EQ(p.scope.AO_ns, 0);
    rec->relays.clear();
    centralise_ao_unit(p);
    ao_unit_reset(p);
    ASSERT_EQ(rec->relays.size(), 3u);
    EXPECT_EQ(rec->relays[0].bits, 15);
    EXPECT_EQ(rec->relays[1].bits, 0);
    EXPECT_EQ(rec->relays[1].at_ms - rec->relays[0].at_ms, 100);
    EXPECT_EQ(rec->relays[2].bits, 0);
    EXPECT_TRUE(rec->writes.empty());
}

TEST_F(AoUnitTest, FilterWheelOnThePortTheMountDoesNotUse) {
    p.settings.Max_Filters = 8;
    p.settings.slewcom = '2';
    p.scope.Filterbox_Filter = 8;
    EXPECT_TRUE(change_filterbox_filter(p));
    p.settings.slewcom = '1';
    p.scope.Filterbox_Filter = 3;
    EXPECT_TRUE(change_filterbox_filter(p));
    ASSERT_EQ(rec->writes.size(), 2u);
    EXPECT_EQ(rec->writes[0].bytes, "\xA5\x01\x08\xAE");
    EXPECT_EQ(rec->writes[0].port, 0);
    EXPECT_EQ(rec->writes[1].bytes, "\xA5\x01\x03\xA9");
    EXPECT_EQ(rec->writes[1].port, 1);
    // Filter 0, or one the wheel does not have, is refused and sends nothing.
    p.settings.Max_Filters = 7;
    for (int n : {0, 8}) {
        p.scope.Filterbox_Filter = static_cast<uint16_t>(n);
        EXPECT_FALSE(change_filterbox_filter(p));
    }
    EXPECT_EQ(rec->writes.size(), 2u);
    EXPECT_NE(take_output().find("message 50: Filter 8 cannot be selected"), std::string::npos);
}

}  // namespace
}  // namespace kvr::test
