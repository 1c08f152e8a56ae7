#pragma once
// The verdict on a training, given when it ends: a calibration is only as good as the star
// motion it was measured from. Noise, a star that left the box, a neighbour taken for the guide
// star or a mount that did not move all give numbers; these checks tell such numbers from a
// calibration to guide with. A training that fails leaves the calibration in force as it was.
#include <numbers>
#include <string>

#include "camera/camera_protocol.h"

namespace kvr {

inline constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// A star motion on the sensor, px along its x and y.
struct Motion {
    double x = 0, y = 0;
};

struct TrainingMeasure {
    // Motion of one test move of each axis, and the play each lost on its reversal.
    Motion ra, dec;
    Motion ra_play, dec_play;
    // Sky height of a row in column widths (a frame row is one field).
    double row_height = kFieldRowInColumns;
    // Both motions were measured as vectors (the main camera's training follows x for RA and y
    // for Dec only, so it cannot tell their angle).
    bool angle_known = true;
    // The guide star at every step: found (a star, not noise, in the box) and its flux against
    // its median over the steps, at its faintest and brightest.
    bool star_every_step = true;
    double flux_low = 1, flux_high = 1;
    // The largest difference between two equal test moves of one axis, px.
    double repeat_spread = 0;
};

// Bounds of a sound training.
inline constexpr double kMinTrainingMovePx = 2.0;  // a test move, in column widths
inline constexpr double kMaxAxesSkewDeg = 20.0;    // from perpendicular
inline constexpr double kMaxRateProportion = 3.0;  // faster axis over slower, on the sky
inline constexpr double kMinStarFluxShare = 0.3;   // of the median; thin cloud takes up to 40 %
inline constexpr double kMaxStarFluxShare = 2.5;   // brighter than this is another star
inline constexpr double kMaxRepeatShare = 0.35;    // of a move, plus a pixel of seeing

// Empty when the training is sound, else what failed, one reason a line.
std::string training_faults(const TrainingMeasure& m);

// Length of a motion on the sky, in column widths.
double sky_length(Motion m, double row_height);
// Direction of a motion on the sky, degrees from the frame's +x towards +y.
double sky_direction_deg(Motion m, double row_height);

}  // namespace kvr
