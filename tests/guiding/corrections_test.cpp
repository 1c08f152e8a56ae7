// Guide corrections on given errors: thresholds, dead band, inhibits, backlash, the guider skip,
// the trained decomposition and the AO steps.
#include "guiding/corrections.h"

#include <gtest/gtest.h>

#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class CorrectionsTest : public ProgramTest {
  protected:
    CorrectionsTest() {
        p.settings.slewx = p.settings.slewy = 2;
        p.guide.lastslewx = 'e';
        p.guide.lastslewy = 'n';
    }
    void error(int dx, int dy) {
        p.guide.dx = static_cast<int16_t>(dx);
        p.guide.dy = static_cast<int16_t>(dy);
        p.guide.x3 = dx;
        p.guide.y3 = dy;
    }
    // Pulses sent since the last call, oldest first, as "axis direction length".
    std::vector<std::string> pulses() {
        const GuidePulseLog& log = p.guide.pulses;
        std::vector<std::string> out;
        for (long i = log.total - seen_ - 1; i >= 0; --i) {
            const GuidePulse& e = log.newest(static_cast<int>(i));
            out.push_back(std::string{e.axis, ' ', e.direction, ' '} + std::to_string(e.length));
        }
        seen_ = log.total;
        return out;
    }
    using V = std::vector<std::string>;

  private:
    long seen_ = 0;
};

TEST_F(CorrectionsTest, MainCameraThresholdsAndLostStar) {
    error(50, 30);  // neither axis beyond its threshold
    EXPECT_EQ(main_correction(p), 0);
    EXPECT_EQ(pulses(), V{});
    error(51, 31);
    EXPECT_EQ(main_correction(p), 0);
    EXPECT_EQ(pulses(), (V{"x e 25", "y n 15"}));
    error(-5000, 0);
    EXPECT_EQ(main_correction(p), 0);
    EXPECT_EQ(pulses(), V{"x w 2500"});
    error(0, 5001);
    EXPECT_EQ(main_correction(p), 1);
    EXPECT_EQ(pulses(), V{});
}

TEST_F(CorrectionsTest, DeadBandAndInhibits) {
    p.settings.ignore_small = 1;
    p.settings.ignore_amount = 1000;
    error(900, -900);
    main_correction(p);
    EXPECT_EQ(pulses(), V{});
    p.settings.ignore_small = 0;
    p.settings.ignore_north = 1;
    error(400, 400);  // RA corrected, the northward Dec error left alone
    main_correction(p);
    EXPECT_EQ(pulses(), V{"x e 200"});
    p.settings.ignore_south = 1;
    error(-400, -400);
    main_correction(p);
    EXPECT_EQ(pulses(), V{"x w 200"});
}

TEST_F(CorrectionsTest, HysteresisLeavingNothingSendsNothing) {
    p.settings.hystx = 2;  // 200 ms off every RA pulse
    error(400, 0);         // 200 ms − 200 ms
    main_correction(p);
    error(300, 0);
    main_correction(p);
    EXPECT_EQ(pulses(), V{});
    EXPECT_EQ(p.guide.slew_time_x, 0);
}

TEST_F(CorrectionsTest, GuiderSkipsErrorsBeyondEightPixels) {
    p.settings.GuiderMode = 'T';
    error(8001, 0);
    guider_mount_correction(p);
    p.settings.GuiderMode = 'A';
    guider_ao_correction(p);
    EXPECT_EQ(pulses(), V{});
    EXPECT_EQ(p.guide.guider_guiding_failed, 0);
    error(8000, -31);
    guider_ao_correction(p);  // 6 steps a pixel
    EXPECT_EQ(pulses(), V{"x w 48"});  // 31 × 6 / 1000 = 0 steps: no move
}

}  // namespace
}  // namespace kvr::test
