// The guider head's trainings: the mount through the guide port (Train) and the AO unit's
// element (AO Train), both measured on guider frames.
#include <algorithm>
#include <cmath>
#include <string>

#include "camera/readout.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/bmp_file.h"
#include "files/guide_settings_file.h"
#include "files/settings_file.h"
#include "guiding/calibration_log.h"
#include "guiding/centroid.h"
#include "guiding/guide_drive.h"
#include "guiding/star_fit.h"
#include "guiding/star_signal.h"
#include "guiding/training.h"
#include "guiding/training_report.h"
#include "scope/ao_unit.h"

namespace kvr {

namespace {

// The AO training's test move, steps: the longer the move the better the star's motion is
// measured (25 steps move it only four columns), but the element bumps the mount beyond 50 steps
// from centre, which the training starts from.
constexpr int kAoTestSteps = 40;
// Slots of the guider training's positions beyond the eight the dialog has always drawn: after
// the short north pulse, and after the third full one.
constexpr int kShortNorth = 8;
constexpr int kThirdNorth = 9;
// Guider frames averaged for each recorded position of the AO training. (The mount's training
// takes one: its steps are long, and the sky's drift, which changes over a minute, then weighs
// more than the air's tip-tilt that more frames would average out.)
constexpr int kAoFramesPerPosition = 3;
// The shortest exposure of a training frame, ms. On a frame of a second the air's tip-tilt can put
// the star most of a pixel from where the mount holds it, and the drift the mount's training
// takes out of its steps rests on single frames; three seconds average the tip-tilt down by
// nearly half (√3), and lengthen a step far less than more frames would.
constexpr int kLeastTrainingExposureMs = 3000;

Motion between(double x0, double y0, double x1, double y1) {
    return {x1 - x0, y1 - y0};
}
Motion minus(Motion a, Motion b) {
    return {a.x - b.x, a.y - b.y};
}
Motion scaled(Motion a, double k) {
    return {a.x * k, a.y * k};
}
// The part of `a` along the direction of `way`.
Motion along(Motion a, Motion way) {
    const double len2 = way.x * way.x + way.y * way.y;
    if (len2 <= 0) return a;
    return scaled(way, (a.x * way.x + a.y * way.y) / len2);
}

// The star's flux at every recorded step against its median over the steps (a single frame's
// flux, the start's too, may be off by scintillation or a cosmic ray), and whether each box held
// a star.
void judge_star(const GuiderTrainingPositions& pos, int first, int last, TrainingMeasure& m) {
    double sorted[GuiderTrainingPositions::kPositions];
    const int n = last - first + 1;
    std::copy(pos.flux + first, pos.flux + last + 1, sorted);
    std::nth_element(sorted, sorted + n / 2, sorted + n);
    const double start = std::max(sorted[n / 2], 1.0);
    m.flux_low = 1e300;
    m.flux_high = 0;
    for (int i = first; i <= last; ++i) {
        m.star_every_step = m.star_every_step && pos.star[i];
        m.flux_low = std::min(m.flux_low, pos.flux[i] / start);
        m.flux_high = std::max(m.flux_high, pos.flux[i] / start);
    }
}

}  // namespace

GuiderTrainingFigures guider_training_figures(const GuiderTrainingPositions& pos, int sd_whole) {
    const double sd = std::max(sd_whole, 1);
    const double* x = pos.fx;
    const double* y = pos.fy;
    GuiderTrainingFigures f;
    // The sky drifts while the training runs (periodic error, polar misalignment): half a pixel
    // between steps is common, and it adds to every step alike. The east step and the west step
    // after it go out and back, so where the star ends up after them is the drift of two steps.
    const Motion drift = scaled(between(x[2], y[2], x[4], y[4]), 0.5);
    const Motion west_a = minus(between(x[0], y[0], x[1], y[1]), drift);
    const Motion west_b = minus(between(x[1], y[1], x[2], y[2]), drift);
    const Motion west = {0.5 * (west_a.x + west_b.x), 0.5 * (west_a.y + west_b.y)};
    // Two full north pulses (5 → 6 → third), then south from the last.
    const double* const n3x = &x[kThirdNorth];
    const double* const n3y = &y[kThirdNorth];
    const Motion north = minus(scaled(between(x[5], y[5], *n3x, *n3y), 0.5), drift);
    // The reverse pulses fall short of a full pulse by the play but point the same way (drift
    // cancels out of each pair): with them the directions rest on a longer baseline.
    const Motion back_and_forth = between(x[3], y[3], x[2], y[2]);
    const Motion west_again = between(x[3], y[3], x[4], y[4]);
    const Motion west_way = {west.x + 0.5 * (back_and_forth.x + west_again.x),
                             west.y + 0.5 * (back_and_forth.y + west_again.y)};
    const Motion north_way = {2 * *n3x - x[5] - x[7], 2 * *n3y - y[5] - y[7]};
    f.west_per_s = scaled(along(west, west_way), 1 / sd);
    f.north_per_s = scaled(along(north, north_way), 1 / sd);
    TrainingMeasure& m = f.measure;
    m.ra = scaled(f.west_per_s, sd);
    m.dec = scaled(f.north_per_s, sd);
    // The reverse pulse falls short of a full one by the play.
    m.ra_play = minus(minus(m.ra, back_and_forth), drift);
    m.dec_play = minus(minus(m.dec, between(x[7], y[7], *n3x, *n3y)), drift);
    f.ra_play_px = std::hypot(m.ra_play.x, m.ra_play.y);
    f.dec_play_px = std::hypot(m.dec_play.x, m.dec_play.y);
    m.repeat_spread = sky_length(minus(west_a, west_b), m.row_height);
    judge_star(pos, 0, GuiderTrainingPositions::kPositions - 1, m);
    return f;
}

bool ao_training_values(const GuiderTrainingPositions& pos, int slew_steps, AoTrainingFigures& f,
                        int& xrate, int& yrate) {
    const double* x = pos.fx;
    const double* y = pos.fy;
    // The start and positions 2 and 4 all have the element at centre, evenly spaced in time
    // around the two moved positions: a parabola through them is the sky's drift (periodic error
    // turns the mount's drift round within a training, and a straight line through the centre
    // positions then tilts the measured motions by several degrees). Each motion is its
    // position less the drift there.
    const double cx[3] = {pos.start_fx, x[2], x[4]};
    const double cy[3] = {pos.start_fy, y[2], y[4]};
    const auto drift_at = [&](const double c[3], bool first) {
        return first ? (3 * c[0] + 6 * c[1] - c[2]) / 8 : (-c[0] + 6 * c[1] + 3 * c[2]) / 8;
    };
    TrainingMeasure& m = f.measure;
    m.ra = {x[1] - drift_at(cx, true), y[1] - drift_at(cy, true)};
    m.dec = {x[3] - drift_at(cx, false), y[3] - drift_at(cy, false)};
    // Nothing is repeated here: the out and back moves share their measurement of the drift.
    m.repeat_spread = 0;
    judge_star(pos, 1, 4, m);
    f.west_per_step = scaled(m.ra, 1.0 / slew_steps);
    f.north_per_step = scaled(m.dec, 1.0 / slew_steps);
    const double ra = std::hypot(m.ra.x, m.ra.y);
    const double dec = std::hypot(m.dec.x, m.dec.y);
    // A move that did not shift the star gives no rate at all.
    if (ra < 0.05 || dec < 0.05) return false;
    xrate = std::max(1, static_cast<int>(slew_steps / ra));
    yrate = std::max(1, static_cast<int>(slew_steps / dec));
    return true;
}

namespace {

void show_step(const TrainingView& view, std::string_view step) {
    if (!view.caption) return;
    std::string caption(kGuiderDialogCaption);
    caption += " - Training / ";
    caption += step;
    view.caption(caption);
}

// Reads a fresh guider frame, exposed at least kLeastTrainingExposureMs, and draws it. False when
// the camera did not deliver.
bool read_guider_frame(Program& p) {
    autoguider_clear(p);
    if (!guider_camera_read(p, std::max(guider_exposure_ms(p), kLeastTrainingExposureMs)))
        return false;
    write_guider_bmp(p);
    return true;
}

// The star the last guider centroid found: its position to a tenth of a pixel and its signal.
StarSignal found_star(Program& p, double& fx, double& fy) {
    const GuideState& g = p.guide;
    const StarSignal s = measure_star(guider_measure_frame(p), kGuiderWidth, kGuiderHeight,
                                      g.guider_xcent, g.guider_ycent, g.cur_rad);
    fx = s.cx;
    fy = s.cy;
    // Rows are too tall for the centroid to follow a sharp star within one: the fitted profile
    // reads its height.
    double fit_x = 0, fit_y = 0;
    if (fit_star_centre(guider_measure_frame(p), kGuiderWidth, kGuiderHeight, s, fit_x, fit_y))
        fy = fit_y;
    return s;
}

// Averages the star's position (fx, fy, found at x, y) over `frames` guider frames in all: the
// air's tip-tilt moves a star by a quarter of a pixel on a frame of a second.
void average_frames(Program& p, int frames, int x, int y, double& fx, double& fy) {
    GuideState& g = p.guide;
    const uint16_t* frame = guider_measure_frame(p);
    double sum_x = fx, sum_y = fy;
    int taken = 1;
    for (; taken < frames; ++taken) {
        double nx = 0, ny = 0;
        if (!read_guider_frame(p) || guider_find_centre(p, x, y, frame, g.cur_rad) != 0 ||
            guider_find_centre(p, g.guider_xcent, g.guider_ycent, frame, g.cur_rad) != 0)
            break;
        if (!holds_star(found_star(p, nx, ny)) || std::hypot(nx - fx, ny - fy) > 2.0) break;
        sum_x += nx;
        sum_y += ny;
    }
    fx = sum_x / taken;
    fy = sum_y / taken;
}

// Centroids the star on `frame` from (x, y), again from the result moved by (shift_x, shift_y),
// and once more on the box then centred near it: a box still off centre cuts the star's wing on
// one side and leaves the centroid short of it. False when a centroid failed.
bool centre_star(Program& p, const uint16_t* frame, int x, int y, int shift_x, int shift_y) {
    GuideState& g = p.guide;
    guider_find_centre(p, x, y, frame, g.cur_rad);
    return guider_find_centre(p, g.guider_xcent + shift_x, g.guider_ycent + shift_y, frame,
                              g.cur_rad) == 0 &&
           guider_find_centre(p, g.guider_xcent, g.guider_ycent, frame, g.cur_rad) == 0;
}

// The guide star stands at the last centroid: a star, at least this share of its light at the
// start (less is noise, a cloud or a fainter neighbour).
constexpr double kLeastTrainingFlux = 0.3;
bool star_at_centroid(Program& p) {
    double fx = 0, fy = 0;
    const StarSignal s = found_star(p, fx, fy);
    return holds_star(s) && s.flux >= kLeastTrainingFlux * p.guide.guider_positions.start_flux;
}

// One recorded training position after `move`, logged: a frame, the star centred from (x, y) and
// the result moved by (shift_x, shift_y) (where the move should have taken it), averaged over
// `frames` frames. When no star stands there, the star is looked for where it was before the
// move: the mount's play can swallow a whole pulse after a reversal. False when the frame or
// every centroid failed.
bool record_position(Program& p, const TrainingView& view, int index, CalibrationMove move, int x,
                     int y, int shift_x = 0, int shift_y = 0, int frames = 1) {
    GuideState& g = p.guide;
    GuiderTrainingPositions& pos = g.guider_positions;
    const int before_x = g.guider_xcent, before_y = g.guider_ycent;
    if (!read_guider_frame(p)) return false;
    const uint16_t* frame = guider_measure_frame(p);
    bool centred = centre_star(p, frame, x, y, shift_x, shift_y);
    if (!centred || !star_at_centroid(p)) {
        const int tried_x = g.guider_xcent, tried_y = g.guider_ycent;
        if (centre_star(p, frame, before_x, before_y, 0, 0) && star_at_centroid(p))
            centred = true;
        else if (centred)
            centre_star(p, frame, tried_x, tried_y, 0, 0);  // the verdict judges what was found
    }
    if (!centred) return false;
    pos.x[index] = g.guider_xcent;
    pos.y[index] = g.guider_ycent;
    const StarSignal s = found_star(p, pos.fx[index], pos.fy[index]);
    pos.flux[index] = s.flux;
    pos.star[index] = holds_star(s);
    average_frames(p, frames, pos.x[index], pos.y[index], pos.fx[index], pos.fy[index]);
    guide_log_calibration_step(p, move, pos.fx[index], pos.fy[index]);
    // The dialog draws the positions up to the last one in order; the extra north slots come
    // after the eight it has always drawn.
    if (index < kShortNorth) g.guider_training_pos = static_cast<int16_t>(index);
    if (view.redraw) view.redraw();
    return true;
}

// The star where it is now, centroided twice on a fresh frame from the pick, and logged as the
// start of the first move (west in both trainings). The first step predicts every later position
// as 9·(its shift from here) + 1: a start a few pixels off the star (a rough pick, or drift since
// picking) would be multiplied into a prediction far off the star, and the training would then
// measure noise. False when no star is found there.
bool measure_start(Program& p, GuiderTrainingPositions& pos, int frames = 1) {
    GuideState& g = p.guide;
    if (!read_guider_frame(p)) return false;
    const uint16_t* frame = guider_measure_frame(p);
    if (guider_find_centre(p, pos.startx, pos.starty, frame, g.cur_rad) != 0 ||
        guider_find_centre(p, g.guider_xcent, g.guider_ycent, frame, g.cur_rad) != 0)
        return false;
    pos.startx = g.guider_xcent;
    pos.starty = g.guider_ycent;
    const StarSignal s = found_star(p, pos.start_fx, pos.start_fy);
    pos.start_flux = s.flux;
    if (holds_star(s)) {
        average_frames(p, frames, pos.startx, pos.starty, pos.start_fx, pos.start_fy);
        guide_log_calibration_step(p, CalibrationMove::West, pos.start_fx, pos.start_fy);
        return true;
    }
    message50(p, "No guide star found where it was picked: pick it again on a fresh frame");
    return false;
}

// The mount's training. The short first pulse of each axis takes up the drive's play and sets the
// prediction of the full ones; so does the first full north pulse: the log counts them as moves
// that take up play.
bool guider_sequence(Program& p, const TrainingView& view) {
    using enum CalibrationMove;
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    GuiderTrainingPositions& pos = g.guider_positions;
    const int sd = s.guider_slewdefault;
    const int* x = pos.x;
    const int* y = pos.y;
    if (!measure_start(p, pos)) return false;
    auto pulse = [&](std::string_view step, char axis, char direction, int ms) {
        show_step(view, step);
        guide_pulse(p, axis, direction, ms);
        p.clock.sleep_ms(200);
    };
    // Each full pulse is predicted from the short first one: its motion, measured to a tenth of
    // a pixel, times the ratio of their lengths. (Whole pixels, 0 or 1 of a 0.8 px motion, put the
    // prediction up to 8 px off, where a neighbour star may be nearer than the guide star.)
    const auto predict = [](double short_move, int times) {
        return static_cast<int>(std::lround(times * short_move));
    };
    pulse("slewing West", 'x', s.w, 100 * sd);
    if (!record_position(p, view, 0, Backlash, pos.startx, pos.starty)) return false;
    int px = predict(pos.fx[0] - pos.start_fx, 9), py = predict(pos.fy[0] - pos.start_fy, 9);
    pulse("slewing West again", 'x', s.w, 1000 * sd);
    if (!record_position(p, view, 1, West, x[0] + px, y[0] + py)) return false;
    pulse("slewing West third time", 'x', s.w, 1000 * sd);
    if (!record_position(p, view, 2, West, x[1] + px, y[1] + py)) return false;
    pulse("slewing East", 'x', s.e, 1000 * sd);
    if (!record_position(p, view, 3, East, x[2], y[2], -px, -py)) return false;
    pulse("slewing West to stabilise", 'x', s.w, 1000 * sd);
    if (!record_position(p, view, 4, West, x[3] + px, y[3] + py)) return false;
    show_step(view, "pausing for 1/2 second");
    p.clock.sleep_ms(500);
    pulse("slewing North", 'y', s.n, 200 * sd);
    if (!record_position(p, view, kShortNorth, Backlash, x[4], y[4])) return false;
    px = predict(pos.fx[kShortNorth] - pos.fx[4], 5);
    py = predict(pos.fy[kShortNorth] - pos.fy[4], 5);
    // The short pulse may not take up the declination play (five arcseconds is common): a full
    // pulse does, before the pulses that are measured. Two of those then give the Dec motion: a
    // star narrower than a row (2″ seeing on 3.6″ rows) is located to a third of a row at best,
    // and one pulse of four rows is too short a baseline for that.
    pulse("slewing North to take up play", 'y', s.n, 1000 * sd);
    if (!record_position(p, view, 5, Backlash, x[kShortNorth] + px, y[kShortNorth] + py))
        return false;
    pulse("slewing North again", 'y', s.n, 1000 * sd);
    if (!record_position(p, view, 6, North, x[5] + px, y[5] + py)) return false;
    pulse("slewing North third time", 'y', s.n, 1000 * sd);
    if (!record_position(p, view, kThirdNorth, North, x[6] + px, y[6] + py)) return false;
    pulse("slewing South", 'y', s.s, 1000 * sd);
    return record_position(p, view, 7, South, x[kThirdNorth], y[kThirdNorth]);
}

void begin_guider_training(Program& p) {
    GuideState& g = p.guide;
    g.guider_training = 1;
    g.cur_rad = p.settings.star_mask;
    g.guider_positions = GuiderTrainingPositions{};
    g.guider_positions.startx = g.guider_pick_xcent;
    g.guider_positions.starty = g.guider_pick_ycent;
    p.ptr.guider_imageptr = p.ptr.guider_image;
}

void end_guider_training(Program& p, const TrainingView& view) {
    p.guide.guider_training = 0;
    if (view.caption) view.caption(kGuiderDialogCaption);
    if (view.redraw) view.redraw();
}

// Makes a sound guider training the calibration in force and reports it.
void accept_guider_training(Program& p, const GuiderTrainingFigures& f) {
    GuideState& g = p.guide;
    // The whole numbers from one full north pulse and the south pulse after it: the last north
    // pulse stands where the settings file's arithmetic expects the only one.
    GuiderTrainingPositions whole = g.guider_positions;
    whole.x[5] = whole.x[6];
    whole.y[5] = whole.y[6];
    whole.x[6] = whole.x[kThirdNorth];
    whole.y[6] = whole.y[kThirdNorth];
    guider_training_values(g, whole, p.settings.guider_slewdefault);
    g.guider_trained = g.guider_use_trained = 1;
    CalibrationState& c = p.calib;
    c.guider_ra_x_px_per_s = f.west_per_s.x;
    c.guider_ra_y_px_per_s = f.west_per_s.y;
    c.guider_dec_x_px_per_s = f.north_per_s.x;
    c.guider_dec_y_px_per_s = f.north_per_s.y;
    c.guider_ra_play_px = f.ra_play_px;
    c.guider_dec_play_px = f.dec_play_px;
    c.guider_calibration_precise = 1;
    // The test pulses leave the mount about three pulses west of where it started: the guide
    // star is taken where the training last found it, so that guiding starts on it.
    g.guider_pick_xcent = g.guider_positions.x[7];
    g.guider_pick_ycent = g.guider_positions.y[7];
    // Theta is shown in degrees with one decimal.
    message50f(p,
               "slew RA = %5d,%5d, %5d\nslew Dec = %5d, %5d, %5d\nbacklash RA = %5d, %5d, "
               "%5d\nbacklash Dec = %5d, %5d, %5d\nTheta = %5.1f",
               g.RA_x, g.RA_y, g.RA_rate, g.Dec_x, g.Dec_y, g.Dec_rate, g.RA_backx, g.RA_backy,
               g.RA_backlash, g.Dec_backx, g.Dec_backy, g.Dec_backlash,
               g.theta * kDegreesPerRadian);
    message50f(
        p, "%s",
        training_sky_text(p, f.west_per_s, f.north_per_s, f.measure.row_height, "s", "").c_str());
    save_ini_file(p, p.settings.ini_file);
    save_guide_settings(p);
}

// The element's directions as mounted: west must move the star towards +x and north towards +y
// (the directions the AO correction sends for those errors). A training that finds them the
// other way round swaps the letters and says so.
void set_ao_directions(Program& p, AoTrainingFigures& f) {
    SettingsState& s = p.settings;
    const bool swap_x = f.west_per_step.x < 0;
    const bool swap_y = f.north_per_step.y < 0;
    if (swap_x) {
        std::swap(s.AOw, s.AOe);
        f.west_per_step = scaled(f.west_per_step, -1);
    }
    if (swap_y) {
        std::swap(s.AOn, s.AOs);
        f.north_per_step = scaled(f.north_per_step, -1);
    }
    message50f(p,
               "AO training: a step west moves the star %.2f, %.2f px, a step north %.2f, %.2f "
               "px\nLeft/right %s, up/down %s",
               f.west_per_step.x, f.west_per_step.y, f.north_per_step.x, f.north_per_step.y,
               swap_x ? "swapped" : "as set", swap_y ? "swapped" : "as set");
    message50f(
        p, "%s",
        training_sky_text(p, f.west_per_step, f.north_per_step, f.measure.row_height, "step", "")
            .c_str());
}

}  // namespace

void guider_train(Program& p, const TrainingView& view) {
    GuideState& g = p.guide;
    if (!g.guider_picked_star) return;
    begin_guider_training(p);
    guide_log_calibration_begin(p, GuidePath::GuiderMount, 1000 * p.settings.guider_slewdefault);
    if (guider_sequence(p, view)) {
        const GuiderTrainingFigures f =
            guider_training_figures(g.guider_positions, p.settings.guider_slewdefault);
        const std::string faults = training_faults(f.measure);
        guide_log_calibration_end(p, f.west_per_s, f.north_per_s, faults);
        if (faults.empty())
            accept_guider_training(p, f);
        else
            report_failed_training(p, "Guider", faults);
    } else {
        guide_log_calibration_stopped(p);
    }
    end_guider_training(p, view);
}

void ao_train(Program& p, const TrainingView& view) {
    GuideState& g = p.guide;
    SettingsState& s = p.settings;
    if (!g.guider_picked_star) return;
    begin_guider_training(p);
    GuiderTrainingPositions& pos = g.guider_positions;
    struct Step {
        const char* caption;
        CalibrationMove move;
        char axis;
        char direction;
        uint32_t settle_ms;
    };
    const Step steps[4] = {{"slewing West", CalibrationMove::West, 'x', s.AOw, 250},
                           {"slewing East", CalibrationMove::East, 'x', s.AOe, 250},
                           {"slewing North", CalibrationMove::North, 'y', s.AOn, 250},
                           {"slewing South", CalibrationMove::South, 'y', s.AOs, 50}};
    ao_unit_reset(p);  // from centre, so that no test move reaches the mount bumps
    guide_log_calibration_begin(p, GuidePath::GuiderAo, kAoTestSteps);
    bool ok = measure_start(p, pos, kAoFramesPerPosition);
    for (int i = 0; i < 4 && ok; ++i) {
        show_step(view, steps[i].caption);
        ao_move(p, steps[i].axis, steps[i].direction, kAoTestSteps);
        p.clock.sleep_ms(steps[i].settle_ms);
        ok = record_position(p, view, i + 1, steps[i].move, pos.startx, pos.starty, 0, 0,
                             kAoFramesPerPosition);
    }
    AoTrainingFigures f;
    int xrate = 0, yrate = 0;
    if (!ok) {
        guide_log_calibration_stopped(p);
    } else {
        const bool moved = ao_training_values(pos, kAoTestSteps, f, xrate, yrate);
        const std::string faults = moved ? training_faults(f.measure) : "the star did not move";
        guide_log_calibration_end(p, f.west_per_step, f.north_per_step, faults);
        if (!faults.empty()) {
            report_failed_training(p, "AO", faults);
        } else {
            set_ao_directions(p, f);
            s.AOUnit_xrate = xrate;
            s.AOUnit_yrate = yrate;
            g.AOUnit_trained = g.AOUnit_use_trained = 1;
            CalibrationState& c = p.calib;
            c.ao_west_x_px_per_step = f.west_per_step.x;
            c.ao_west_y_px_per_step = f.west_per_step.y;
            c.ao_north_x_px_per_step = f.north_per_step.x;
            c.ao_north_y_px_per_step = f.north_per_step.y;
            c.ao_calibration_precise = 1;
            save_ini_file(p, s.ini_file);
            save_guide_settings(p);
        }
    }
    end_guider_training(p, view);
}

}  // namespace kvr
