// Calibration arithmetic of the three trainings on constructed star positions.
#include "guiding/training.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using TrainingTest = ProgramTest;

TEST_F(TrainingTest, MainCameraRatesAndBacklash) {
    // The second east pulse moves the star 10 pixels, the second west pulse 12.
    const int x[5] = {50, 40, 30, 38, 50};
    // North 9, north 9, south 8 (one pixel lost to backlash), south 9.
    const int y[5] = {60, 69, 78, 70, 61};
    const MainTrainingRates r = main_training_rates(x, y, 1);
    EXPECT_EQ(r.slewx, 11);
    EXPECT_EQ(r.backlashx, 1);  // (|50 − 50| + |40 − 38|) / 2
    EXPECT_EQ(r.slewy, 9);
    EXPECT_EQ(r.backlashy, 1);  // |69 − 70| and |60 − 61|
}

TEST_F(TrainingTest, GuiderVectorsAngleAndQuadrant) {
    GuiderTrainingPositions pos;
    pos.startx = 100;
    pos.starty = 100;
    // West moves the star −8 px/s in x and not in y; sd = 2 s.
    const int xs[8] = {98, 82, 66, 82, 66, 66, 66, 66};
    const int ys[8] = {100, 100, 100, 100, 100, 103, 115, 101};
    std::copy(xs, xs + 8, pos.x);
    std::copy(ys, ys + 8, pos.y);
    GuideState& g = p.guide;
    guider_training_values(g, pos, 2);
    EXPECT_EQ(g.RA_x, -8);
    EXPECT_EQ(g.RA_y, 0);
    EXPECT_EQ(g.theta, 0.0f);
    EXPECT_EQ(g.quadrant, 2);
    EXPECT_EQ(g.RA_rate, 8);
    EXPECT_EQ(g.Dec_x, 0);
    EXPECT_EQ(g.Dec_y, 6);  // 12 px in the 2 s north pulse; the short one (3 px) is no rate
    EXPECT_EQ(g.Dec_rate, 6);
    EXPECT_EQ(g.RA_backx, 0);   // |(66 − 82) − (−16)|
    EXPECT_EQ(g.Dec_backy, 2);  // |(115 − 101) − 12|
    EXPECT_EQ(g.Dec_backlash, 2);

    // |RA_x| < |RA_y|: the whole-number quotient is 0, and so is the angle.
    const int ys2[8] = {101, 111, 121, 111, 121, 121, 121, 121};
    const int xs2[8] = {100, 104, 108, 104, 108, 108, 108, 108};
    std::copy(xs2, xs2 + 8, pos.x);
    std::copy(ys2, ys2 + 8, pos.y);
    guider_training_values(g, pos, 2);
    EXPECT_EQ(g.RA_x, 2);
    EXPECT_EQ(g.RA_y, 5);
    EXPECT_EQ(g.theta, 0.0f);
    EXPECT_EQ(g.quadrant, 1);
    EXPECT_EQ(g.Dec_rate, 1);  // no Dec motion: never 0
}

TEST_F(TrainingTest, AoRatesAreStepsPerPixelAndLeaveTheMountAlone) {
    GuiderTrainingPositions pos;
    pos.start_fx = 200;
    pos.start_fy = 150;
    // West +5 px, east back, north +3 px (with 1 px in x), south back.
    const double xs[5] = {0, 205, 200, 201, 200};
    const double ys[5] = {0, 150, 150, 153, 150};
    std::copy(xs, xs + 5, pos.fx);
    std::copy(ys, ys + 5, pos.fy);
    std::fill(pos.star, pos.star + 8, true);
    std::fill(pos.flux, pos.flux + 8, 1000.0);
    pos.start_flux = 1000;
    const int mount_ra_x = p.guide.RA_x;
    AoTrainingFigures f;
    int xrate = 0, yrate = 0;
    ASSERT_TRUE(ao_training_values(pos, 25, f, xrate, yrate));
    EXPECT_EQ(xrate, 5);
    EXPECT_EQ(yrate, static_cast<int>(25 / std::sqrt(1.0 + 9.0)));
    EXPECT_DOUBLE_EQ(f.west_per_step.x, 0.2);
    EXPECT_DOUBLE_EQ(f.north_per_step.y, 3.0 / 25);
    EXPECT_EQ(p.guide.RA_x, mount_ra_x);  // the mount's calibration is not the AO unit's
    pos.fx[3] = 200;
    pos.fy[3] = 150;
    EXPECT_FALSE(ao_training_values(pos, 25, f, xrate, yrate));  // Dec did not move

    // The sky drifts while the element moves, and the mount's periodic error turns the drift
    // round: a parabola in time (one step apart: 0 … 4) that the motions must not take in.
    const auto drift = [](int step) { return 0.9 * step - 0.2 * step * step; };
    const double west[5] = {0, 5, 0, 0, 0}, north[5] = {0, 0, 0, 3, 0};
    pos.start_fx = 200 + drift(0);
    pos.start_fy = 150 + 0.5 * drift(0);
    for (int i = 1; i <= 4; ++i) {
        pos.fx[i] = 200 + west[i] + drift(i);
        pos.fy[i] = 150 + north[i] + 0.5 * drift(i);
    }
    ASSERT_TRUE(ao_training_values(pos, 25, f, xrate, yrate));
    EXPECT_NEAR(f.west_per_step.x, 0.2, 1e-12);
    EXPECT_NEAR(f.west_per_step.y, 0, 1e-12);
    EXPECT_NEAR(f.north_per_step.x, 0, 1e-12);
    EXPECT_NEAR(f.north_per_step.y, 3.0 / 25, 1e-12);
}

}  // namespace
}  // namespace kvr::test
