#pragma once
// Guide calibration: drive the mount (or the AO unit) in a fixed order of test pulses, find the
// guide star after each, and learn the drive rates, backlash and the sensor's angle. Positions are
// pixels of the frame used; rates are pixels per second of drive. Every training is judged when
// it ends (guiding/training_check.h): only one that passes replaces the calibration in force.
#include <functional>
#include <string_view>

#include "guiding/training_check.h"

namespace kvr {

struct Program;
struct GuideState;
struct GuiderTrainingPositions;

// Main camera: star positions x1 … x5 (RA steps east, east, west, west) and y1 … y5 (Dec steps
// north, north, south, south) give `slewx`, `slewy`, `backlashx`, `backlashy` (raw: 0 stays 0).
struct MainTrainingRates {
    int slewx = 0, slewy = 0, backlashx = 0, backlashy = 0;
};
MainTrainingRates main_training_rates(const int x[5], const int y[5], int slewdefault);

// The same positions to a tenth of a pixel: the rates (px/s) and the play of each axis (px),
// with what the verdict needs (the main camera follows RA along x and Dec along y only), and the
// rates as motions of west and north drive, the way the positions went.
struct MainTrainingFigures {
    double ra_px_per_s = 0, dec_px_per_s = 0, ra_play_px = 0, dec_play_px = 0;
    Motion west_per_s, north_per_s;
    TrainingMeasure measure;
};
MainTrainingFigures main_training_figures(const double x[5], const double y[5], int slewdefault);

// Guider camera: the RA and Dec motion vectors, their lengths, `theta`, `quadrant` and the
// backlash vectors from the recorded positions (pos0 … pos7) with test-pulse unit `sd` seconds.
void guider_training_values(GuideState& g, const GuiderTrainingPositions& pos, int sd);

// The guider's motions per second of west and north drive (px/s) and the play of each axis (px)
// from the positions to a tenth of a pixel, with the verdict's measure.
struct GuiderTrainingFigures {
    Motion west_per_s, north_per_s;
    double ra_play_px = 0, dec_play_px = 0;
    TrainingMeasure measure;
};
GuiderTrainingFigures guider_training_figures(const GuiderTrainingPositions& pos, int sd);

// AO unit: motion per test move from the start and pos1 … pos4 (west, east, north, south moves
// of `slew_steps` steps), per step, with the verdict's measure. `xrate`, `yrate`: whole steps
// per pixel of each motion (at least 1); false when either motion is zero.
struct AoTrainingFigures {
    Motion west_per_step, north_per_step;
    TrainingMeasure measure;
};
bool ao_training_values(const GuiderTrainingPositions& pos, int slew_steps, AoTrainingFigures& f,
                        int& xrate, int& yrate);

// Main-camera training (command 22, `train_guide_on`) on guide sub-frames read into `fredptr`.
void train_guide_on(Program& p, uint16_t* fredptr);
void train_guide(Program& p);

// What the guider dialog shows while a guider or AO training runs: each step's caption (after
// "Auto Guider Camera Control - Training / "), the restored caption at the end, and a redraw of
// its values after each recorded position. Either may be empty.
struct TrainingView {
    std::function<void(std::string_view caption)> caption;
    std::function<void()> redraw;
};
inline constexpr std::string_view kGuiderDialogCaption = "Auto Guider Camera Control";

// Guider-camera training (the guider dialog's Train): nothing without a picked guider star.
void guider_train(Program& p, const TrainingView& view);
// AO training (the guider dialog's AO Train): nothing without a picked guider star.
void ao_train(Program& p, const TrainingView& view);

// Reports a failed training: what failed, and that the calibration in force stays.
void report_failed_training(Program& p, const char* which, const std::string& faults);

}  // namespace kvr
