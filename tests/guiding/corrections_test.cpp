// Guide corrections on given errors: thresholds, dead band, inhibits, backlash, the guider skip,
// the trained decomposition and the AO steps.
#include "guiding/corrections.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/program.h"
#include "guiding/star_watch.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class CorrectionsTest : public ProgramTest {
  protected:
    CorrectionsTest() {
        p.settings.slewx = p.settings.slewy = 2;
        p.guide.lastslewx = 'e';
        p.guide.lastslewy = 'n';
        p.guide.guider_aggressiveness = 100;  // whole errors, unless a test says otherwise
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
    guider_ao_correction(p);           // 6 steps a pixel
    EXPECT_EQ(pulses(), V{"x w 48"});  // 31 × 6 / 1000 = 0 steps: no move
}

TEST_F(CorrectionsTest, BacklashGoesOnlyWithAReversalAtLeastAsLongAsThePlay) {
    p.settings.backlashy = 1;  // one pixel of play: 500 ms at 2 px/s
    error(0, -1200);           // south after north: a reversal as long as the play, lengthened
    main_correction(p);
    error(0, -1200);
    main_correction(p);
    error(0, 400);  // a reversal shorter than the play: seeing as likely as a turn, no play
    main_correction(p);
    error(0, -400);
    main_correction(p);
    EXPECT_EQ(pulses(), (V{"y s 1100", "y s 600", "y n 200", "y s 200"}));
}

TEST_F(CorrectionsTest, TrainedGuiderDecomposesOnTheMotionVectors) {
    GuideState& g = p.guide;
    p.settings.ignore_RA_angle = 0;
    g.guider_use_trained = 1;
    // West moves the star (−4, +3) px/s, north (3, 4): a camera turned by about 37°.
    g.RA_x = -4, g.RA_y = 3, g.Dec_x = 3, g.Dec_y = 4;
    g.RA_rate = g.Dec_rate = 5;
    g.lastslewx = 'w';
    g.lastslewy = 'n';
    // The star must move 2 s of west (−8, 6) and 1 s of north (3, 4): (−5, 10) pixels.
    error(-5000, 10000);
    guider_mount_correction(p);
    EXPECT_EQ(pulses(), (V{"x w 2000", "y n 1000"}));
    error(5000, -10000);  // the way back: both axes reverse
    g.RA_backlash = 1;    // 200 ms at 5 px/s
    guider_mount_correction(p);
    EXPECT_EQ(pulses(), (V{"x e 2200", "y s 1000"}));
    // At 60 % aggressiveness each axis takes 60 % of its share; the play is taken up in full.
    g.guider_aggressiveness = 60;
    error(-5000, 10000);
    guider_mount_correction(p);
    EXPECT_EQ(pulses(), (V{"x w 1400", "y n 600"}));
    // A reversal shorter than the play is as likely seeing: it goes without the play.
    error(500, 0);
    guider_mount_correction(p);
    EXPECT_EQ(pulses(), (V{"x e 48", "y n 36"}));
    p.settings.GuiderMode = 'A';
    error(1000, -2000);
    guider_ao_correction(p);  // 6 steps a pixel, 60 % of them, to the nearest step
    EXPECT_EQ(pulses(), (V{"x w 4", "y s 7"}));
}

// A guider frame of sky (1000 ADU, a little noise) with a star of `flux` ADU at (x, y).
void draw_guider_frame(uint16_t* frame, double x, double y, double flux) {
    for (int j = 0; j < kGuiderHeight; ++j) {
        for (int i = 0; i < kGuiderWidth; ++i) {
            const double r2 = (i - x) * (i - x) + (j - y) * (j - y);
            const double star =
                flux / (2 * 3.14159265 * 1.5 * 1.5) * std::exp(-r2 / (2 * 1.5 * 1.5));
            frame[j * kGuiderWidth + i] =
                static_cast<uint16_t>(1000 + 8 * ((i * 7 + j * 13) % 5) + star);
        }
    }
}

TEST_F(CorrectionsTest, AGuideFrameWithoutTheStarSendsNothingAndGuidingWaitsForIt) {
    GuideState& g = p.guide;
    p.settings.GuiderMode = 'T';
    p.settings.guider_slewx = p.settings.guider_slewy = 4;
    g.cur_rad = 8;
    g.x1 = 250;
    g.y1 = 145;
    reset_star_watch(p);
    uint16_t* frame = p.ptr.guider_image = p.buf->image_guider_int;
    // The star 2 px off its reference: measured and corrected.
    draw_guider_frame(frame, 248, 145, 40000);
    EXPECT_EQ(guider_guide_telescope(p, frame), 0);
    EXPECT_EQ(pulses().front(), "x e 500");
    // Cloud takes 40 % of the light: still the guide star.
    draw_guider_frame(frame, 248, 145, 24000);
    EXPECT_EQ(guider_guide_telescope(p, frame), 0);
    EXPECT_EQ(g.guide_star_lost, 0);
    EXPECT_EQ(pulses().front(), "x e 500");
    // Thick cloud: the box holds sky. No correction, no failure, the star shown as lost.
    draw_guider_frame(frame, 248, 145, 0);
    p.clock.sleep_ms(5000);
    EXPECT_EQ(guider_guide_telescope(p, frame), 0);
    EXPECT_EQ(g.guide_star_lost, 1);
    EXPECT_EQ(g.guider_guiding_failed, 0);
    EXPECT_TRUE(pulses().empty());
    // The star back within the patience: guiding goes on from it.
    p.clock.sleep_ms(60000);
    draw_guider_frame(frame, 248, 145, 40000);
    EXPECT_EQ(guider_guide_telescope(p, frame), 0);
    EXPECT_EQ(g.guide_star_lost, 0);
    EXPECT_EQ(pulses().front(), "x e 500");
    // Gone for longer than guiding waits: guiding fails with a word.
    draw_guider_frame(frame, 248, 145, 0);
    EXPECT_EQ(guider_guide_telescope(p, frame), 0);
    p.clock.sleep_ms(kLostStarPatienceMs + 1000);
    EXPECT_EQ(guider_guide_telescope(p, frame), 3);
    EXPECT_EQ(g.guider_guiding_failed, 1);
    EXPECT_TRUE(pulses().empty());
    EXPECT_NE(take_output().find("Guide star lost"), std::string::npos);
}

}  // namespace
}  // namespace kvr::test
