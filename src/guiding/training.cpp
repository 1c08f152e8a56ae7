#include "guiding/training.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "camera/readout.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/bmp_file.h"
#include "files/settings_file.h"
#include "guiding/centroid.h"
#include "guiding/guide_drive.h"

namespace kvr {

namespace {

constexpr int kWakeUpPulseMs = 50;
constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;
constexpr int kAoTestSteps = 25;

int length_of(int x, int y) {
    return static_cast<int>(std::sqrt(double(x) * x + double(y) * y));
}

}  // namespace

MainTrainingRates main_training_rates(const int x[5], const int y[5], int slewdefault) {
    const int sd = std::max(slewdefault, 1);
    MainTrainingRates r;
    r.slewx = (std::abs(x[3] - x[4]) + std::abs(x[1] - x[2])) / (2 * sd);
    r.backlashx = (std::abs(x[0] - x[4]) + std::abs(x[1] - x[3])) / (2 * sd);
    const int dec_a = std::abs(y[1] - y[2]), dec_b = std::abs(y[3] - y[4]);
    r.slewy = (dec_a > dec_b ? dec_a : dec_b) / sd;
    const int back_a = std::abs(y[1] - y[3]), back_b = std::abs(y[0] - y[4]);
    r.backlashy = (back_a > back_b ? back_a : back_b) / sd;
    return r;
}

void guider_training_values(GuideState& g, const GuiderTrainingPositions& pos, int sd) {
    sd = std::max(sd, 1);
    const int* x = pos.x;
    const int* y = pos.y;
    // Rates come from the full test pulses alone (sd seconds each): the short first pulse of
    // each axis takes up the drive's play and sets the prediction, and counting its motion as a
    // full pulse would make the north rate 0.6 of the truth (0.2·sd + sd seconds over 2·sd).
    g.RA_x = ((x[1] - x[0]) + (x[2] - x[1])) / (2 * sd);
    g.RA_y = ((y[1] - y[0]) + (y[2] - y[1])) / (2 * sd);
    // The quotient is whole before the arctangent: below 1 the angle is 0.
    g.theta = g.RA_y == 0
                  ? 0.0f
                  : static_cast<float>(std::atan(double(std::abs(g.RA_x) / std::abs(g.RA_y))));
    g.quadrant = g.RA_x >= 0 && g.RA_y >= 0 ? 1 : (g.RA_x < 0 && g.RA_y < 0 ? 3 : 2);
    g.RA_rate = std::max(1, length_of(g.RA_x, g.RA_y));
    g.Dec_x = (x[6] - x[5]) / sd;
    g.Dec_y = (y[6] - y[5]) / sd;
    g.Dec_rate = std::max(1, length_of(g.Dec_x, g.Dec_y));
    g.RA_backx = std::abs((x[2] - x[3]) - g.RA_x * sd);
    g.RA_backy = std::abs((y[2] - y[3]) - g.RA_y * sd);
    g.RA_backlash = length_of(g.RA_backx, g.RA_backy);
    g.Dec_backx = std::abs((x[6] - x[7]) - g.Dec_x * sd);
    g.Dec_backy = std::abs((y[6] - y[7]) - g.Dec_y * sd);
    g.Dec_backlash = length_of(g.Dec_backx, g.Dec_backy);
}

bool ao_training_values(GuideState& g, const GuiderTrainingPositions& pos, int slew_steps,
                        int& xrate, int& yrate) {
    const int* x = pos.x;
    const int* y = pos.y;
    g.RA_x = ((x[1] - pos.startx) + (x[1] - x[2])) / 2;
    g.RA_y = ((y[1] - pos.starty) + (y[1] - y[2])) / 2;
    g.Dec_x = ((x[3] - x[2]) + (x[3] - x[4])) / 2;
    g.Dec_y = ((y[3] - y[2]) + (y[3] - y[4])) / 2;
    const double ra = std::sqrt(double(g.RA_x) * g.RA_x + double(g.RA_y) * g.RA_y);
    const double dec = std::sqrt(double(g.Dec_x) * g.Dec_x + double(g.Dec_y) * g.Dec_y);
    // A move that shifted the star by less than a pixel gives no rate at all.
    if (ra == 0.0 || dec == 0.0) return false;
    xrate = std::max(1, static_cast<int>(slew_steps / ra));
    yrate = std::max(1, static_cast<int>(slew_steps / dec));
    return true;
}

namespace {

// One main-camera training step: pulse, read a guide frame, centroid twice. False on a
// centroid failure (the centroid has shown its message).
bool main_step(Program& p, uint16_t* fredptr, char direction, char axis, int ms) {
    GuideState& g = p.guide;
    guide_pulse(p, axis, direction, ms);
    p.commands.dispatch(p, Cmd::GuideTelescope);
    if (find_centre(p, g.xcent, g.ycent, fredptr, g.cur_rad) != 0) return false;
    return find_centre(p, g.xcent, g.ycent, fredptr, g.cur_rad) == 0;
}

bool main_sequence(Program& p, uint16_t* fredptr) {
    GuideState& g = p.guide;
    SettingsState& s = p.settings;
    // The start is measured on a first guide frame: the sub-frame's expected position is only
    // known to the window's alignment, and an error there reads as backlash.
    if (!main_step(p, fredptr, s.n, 'y', 0)) return false;
    int ms = 1000 * s.slewdefault - 100 * s.hysty;
    g.y1 = g.ycent;
    int* dec[4] = {&g.y2, &g.y3, &g.y4, &g.y5};
    const char dec_dirs[4] = {s.n, s.n, s.s, s.s};
    for (int i = 0; i < 4; ++i) {
        if (!main_step(p, fredptr, dec_dirs[i], 'y', ms)) return false;
        *dec[i] = g.ycent;
    }
    ms = 1000 * s.slewdefault - 100 * s.hystx;
    g.x1 = g.xcent;
    int* ra[4] = {&g.x2, &g.x3, &g.x4, &g.x5};
    const char ra_dirs[4] = {s.e, s.e, s.w, s.w};
    for (int i = 0; i < 4; ++i) {
        if (!main_step(p, fredptr, ra_dirs[i], 'x', ms)) return false;
        *ra[i] = g.xcent;
    }
    const int x[5] = {g.x1, g.x2, g.x3, g.x4, g.x5};
    const int y[5] = {g.y1, g.y2, g.y3, g.y4, g.y5};
    const MainTrainingRates r = main_training_rates(x, y, s.slewdefault);
    s.slewx = r.slewx;
    s.slewy = r.slewy;
    s.backlashx = r.backlashx;
    s.backlashy = r.backlashy;
    message50f(p, "slewx = %5d, slewy = %5d\nbacklashx = %5d, backlashy = %5d", s.slewx, s.slewy,
               s.backlashx, s.backlashy);
    if (s.slewx == 0) s.slewx = 1;
    if (s.slewy == 0) s.slewy = 1;
    save_ini_file(p, s.ini_file);
    return true;
}

}  // namespace

void train_guide_on(Program& p, uint16_t* fredptr) {
    GuideState& g = p.guide;
    SettingsState& s = p.settings;
    ShellState& sh = p.shell;
    if (p.scope.telescope == 'n' || !p.link.got_kv || !sh.picked_star) {
        messages(p, Msg::TakeImageAndPickStar);
        return;
    }
    check_telescope_link(p);
    if (!p.scope.comfound) {
        messages(p, Msg::TelescopeCommsFailed);
        return;
    }
    if (p.scope.telescope == 'b' && g.fst_run) {
        // The box wakes up on its first pulses.
        g.fst_run = 0;
        guide_pulse(p, 'y', s.n, kWakeUpPulseMs);
        guide_pulse(p, 'y', s.s, kWakeUpPulseMs);
        guide_pulse(p, 'x', s.e, kWakeUpPulseMs);
        guide_pulse(p, 'x', s.w, kWakeUpPulseMs);
    }
    // A star picked on a binned image is kept in full-frame coordinates: the image has half.
    const int scale = sh.pick_small ? 2 : 1;
    find_centre(p, g.xcent / scale, g.ycent / scale, fredptr, g.cur_rad);
    calc_guideframe(p);
    g.guiding = 1;
    g.training = 1;
    p.run.continuous = 0;
    g.cur_rad = s.star_mask;
    main_sequence(p, fredptr);
    g.training = g.guiding = g.tracking = 0;
    if (sh.picked_star) {
        sh.pick_star_small = sh.pick_small;
        g.xcent = sh.pick_xcent;
        g.ycent = sh.pick_ycent;
    } else {
        sh.picked_star = 0;
    }
}

void train_guide(Program& p) {
    p.ptr.image = p.buf->image_int;
    train_guide_on(p, p.ptr.image);
    p.shell.picked_star = 0;
    p.run.end_loop = 0;
}

namespace {

void show_step(const TrainingView& view, std::string_view step) {
    if (!view.caption) return;
    std::string caption(kGuiderDialogCaption);
    caption += " - Training / ";
    caption += step;
    view.caption(caption);
}

// Reads a fresh guider frame and draws it. False when the camera did not deliver.
bool read_guider_frame(Program& p) {
    autoguider_clear(p);
    if (!guider_camera_read(p)) return false;
    write_guider_bmp(p);
    return true;
}

// One recorded training position: frame, centroid at (x, y), again at the result moved by
// (shift_x, shift_y). False when the frame or the second centroid failed.
bool record_position(Program& p, const TrainingView& view, int index, int x, int y, int shift_x = 0,
                     int shift_y = 0) {
    GuideState& g = p.guide;
    if (!read_guider_frame(p)) return false;
    const uint16_t* frame = p.ptr.guider_imageptr;
    guider_find_centre(p, x, y, frame, g.cur_rad);
    if (guider_find_centre(p, g.guider_xcent + shift_x, g.guider_ycent + shift_y, frame,
                           g.cur_rad) != 0)
        return false;
    g.guider_positions.x[index] = g.guider_xcent;
    g.guider_positions.y[index] = g.guider_ycent;
    g.guider_training_pos = static_cast<int16_t>(index);
    if (view.redraw) view.redraw();
    return true;
}

// The star where it is now, centroided twice on a fresh frame from the pick. The first step
// predicts every later position as 9·(its shift from here) + 1: a start a few pixels off the
// star (a rough pick, or drift since picking) would be multiplied into a prediction far off the
// star, and the training would then measure noise. False when no star is found there.
bool measure_start(Program& p, GuiderTrainingPositions& pos) {
    GuideState& g = p.guide;
    if (!read_guider_frame(p)) return false;
    const uint16_t* frame = p.ptr.guider_imageptr;
    if (guider_find_centre(p, pos.startx, pos.starty, frame, g.cur_rad) != 0 ||
        guider_find_centre(p, g.guider_xcent, g.guider_ycent, frame, g.cur_rad) != 0)
        return false;
    pos.startx = g.guider_xcent;
    pos.starty = g.guider_ycent;
    return true;
}

bool guider_sequence(Program& p, const TrainingView& view) {
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
    pulse("slewing West", 'x', s.w, 100 * sd);
    if (!record_position(p, view, 0, pos.startx, pos.starty)) return false;
    int px = 9 * (x[0] - pos.startx) + 1, py = 9 * (y[0] - pos.starty) + 1;
    pulse("slewing West again", 'x', s.w, 1000 * sd);
    if (!record_position(p, view, 1, x[0] + px, y[0] + py)) return false;
    pulse("slewing West third time", 'x', s.w, 1000 * sd);
    if (!record_position(p, view, 2, x[1] + px, y[1] + py)) return false;
    pulse("slewing East", 'x', s.e, 1000 * sd);
    if (!record_position(p, view, 3, x[2], y[2], -px, -py)) return false;
    pulse("slewing West to stabilise", 'x', s.w, 1000 * sd);
    if (!record_position(p, view, 4, x[3] + px, y[3] + py)) return false;
    show_step(view, "pausing for 1/2 second");
    p.clock.sleep_ms(500);
    pulse("slewing North", 'y', s.n, 200 * sd);
    if (!record_position(p, view, 5, x[4], y[4])) return false;
    px = 5 * (x[5] - x[4]) + 1;
    py = 5 * (y[5] - y[4]) + 1;
    pulse("slewing North again", 'y', s.n, 1000 * sd);
    if (!record_position(p, view, 6, x[5] + px, y[5] + py)) return false;
    pulse("slewing South", 'y', s.s, 1000 * sd);
    return record_position(p, view, 7, x[6], y[6]);
}

void begin_guider_training(Program& p) {
    GuideState& g = p.guide;
    g.guider_training = 1;
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

}  // namespace

void guider_train(Program& p, const TrainingView& view) {
    GuideState& g = p.guide;
    if (!g.guider_picked_star) return;
    begin_guider_training(p);
    if (guider_sequence(p, view)) {
        guider_training_values(g, g.guider_positions, p.settings.guider_slewdefault);
        g.guider_trained = g.guider_use_trained = 1;
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
        save_ini_file(p, p.settings.ini_file);
    }
    end_guider_training(p, view);
}

void ao_train(Program& p, const TrainingView& view) {
    GuideState& g = p.guide;
    SettingsState& s = p.settings;
    if (!g.guider_picked_star) return;
    begin_guider_training(p);
    const GuiderTrainingPositions& pos = g.guider_positions;
    struct Step {
        const char* caption;
        char axis;
        char direction;
        uint32_t settle_ms;
    };
    const Step steps[4] = {{"slewing West", 'x', s.AOw, 250},
                           {"slewing East", 'x', s.AOe, 250},
                           {"slewing North", 'y', s.AOn, 250},
                           {"slewing South", 'y', s.AOs, 50}};
    bool ok = true;
    for (int i = 0; i < 4 && ok; ++i) {
        show_step(view, steps[i].caption);
        ao_move(p, steps[i].axis, steps[i].direction, kAoTestSteps);
        p.clock.sleep_ms(steps[i].settle_ms);
        ok = record_position(p, view, i + 1, pos.startx, pos.starty);
    }
    int xrate = 0, yrate = 0;
    if (ok && ao_training_values(g, pos, kAoTestSteps, xrate, yrate)) {
        s.AOUnit_xrate = xrate;
        s.AOUnit_yrate = yrate;
        g.AOUnit_trained = g.AOUnit_use_trained = 1;
        save_ini_file(p, s.ini_file);
    } else if (ok) {
        message50(p, "AO training failed: the star did not move");
    }
    end_guider_training(p, view);
}

}  // namespace kvr
