#include "guiding/training.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "camera/camera_protocol.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/guide_settings_file.h"
#include "files/settings_file.h"
#include "guiding/calibration_log.h"
#include "guiding/centroid.h"
#include "guiding/guide_drive.h"
#include "guiding/star_signal.h"

namespace kvr {

namespace {

constexpr int kWakeUpPulseMs = 50;
constexpr int kGuideFrameSize = 128;

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

MainTrainingFigures main_training_figures(const double x[5], const double y[5], int slewdefault) {
    const double sd = std::max(slewdefault, 1);
    MainTrainingFigures f;
    // The second pulse of each direction moves the star the full way: the first after a reversal
    // first takes up the play. Each axis's play shows twice: at the start of the reverse run
    // and at the end, back where the axis started.
    const double ra_a = std::abs(x[1] - x[2]), ra_b = std::abs(x[3] - x[4]);
    const double dec_a = std::abs(y[1] - y[2]), dec_b = std::abs(y[3] - y[4]);
    f.ra_px_per_s = (ra_a + ra_b) / (2 * sd);
    f.dec_px_per_s = (dec_a + dec_b) / (2 * sd);
    f.west_per_s = {std::copysign(f.ra_px_per_s, (x[4] - x[3]) - (x[2] - x[1])), 0};
    f.north_per_s = {0, std::copysign(f.dec_px_per_s, (y[2] - y[1]) - (y[4] - y[3]))};
    f.ra_play_px = (std::abs(x[0] - x[4]) + std::abs(x[1] - x[3])) / 2;
    f.dec_play_px = (std::abs(y[1] - y[3]) + std::abs(y[0] - y[4])) / 2;
    TrainingMeasure& m = f.measure;
    m.ra = {f.ra_px_per_s * sd, 0};
    m.dec = {0, f.dec_px_per_s * sd};
    m.ra_play = {f.ra_play_px, 0};
    m.dec_play = {0, f.dec_play_px};
    m.angle_known = false;
    m.repeat_spread = std::max(std::abs(ra_a - ra_b), kFieldRowInColumns * std::abs(dec_a - dec_b));
    return f;
}

void report_failed_training(Program& p, const char* which, const std::string& faults) {
    std::string text = which;
    text += " training failed:\n";
    text += faults;
    text += "\nThe calibration in force is kept.";
    message50(p, text.c_str());
}

namespace {

// The positions of the main-camera training to a tenth of a pixel, and the star at each.
struct MainSteps {
    double x[5] = {}, y[5] = {};
    double flux[10] = {};
    int frames = 0;
    bool star_every_step = true;
};

// Notes what the box around the last centroid holds; returns where it put the star along x
// (`along_x`) or y, to a tenth of a pixel.
double note_star(Program& p, const uint16_t* frame, MainSteps& steps, bool along_x) {
    const GuideState& g = p.guide;
    const StarSignal s =
        measure_star(frame, kGuideFrameSize, kGuideFrameSize, g.xcent, g.ycent, g.cur_rad);
    if (!holds_star(s)) steps.star_every_step = false;
    if (steps.frames < 10) steps.flux[steps.frames++] = s.flux;
    return along_x ? g.xcent + 0.1 * g.xcentdec : g.ycent + 0.1 * g.ycentdec;
}

// One main-camera training step: a pulse of `ms` for `move`, a guide frame, the star centroided
// twice and logged. False on a centroid failure (the centroid has shown its message).
bool main_step(Program& p, uint16_t* fredptr, CalibrationMove move, int ms) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    const bool ra = move == CalibrationMove::West || move == CalibrationMove::East;
    const char letter = move == CalibrationMove::West    ? s.w
                        : move == CalibrationMove::East  ? s.e
                        : move == CalibrationMove::North ? s.n
                                                         : s.s;
    guide_pulse(p, ra ? 'x' : 'y', letter, ms);
    p.commands.dispatch(p, Cmd::GuideTelescope);
    if (find_centre(p, g.xcent, g.ycent, fredptr, g.cur_rad) != 0 ||
        find_centre(p, g.xcent, g.ycent, fredptr, g.cur_rad) != 0)
        return false;
    guide_log_calibration_step(p, move, g.xcent + 0.1 * g.xcentdec, g.ycent + 0.1 * g.ycentdec);
    return true;
}

bool main_sequence(Program& p, uint16_t* fredptr, MainSteps& steps) {
    using enum CalibrationMove;
    GuideState& g = p.guide;
    SettingsState& s = p.settings;
    // The start is measured on a first guide frame: the sub-frame's expected position is only
    // known to the window's alignment, and an error there reads as backlash.
    if (!main_step(p, fredptr, North, 0)) return false;
    int ms = 1000 * s.slewdefault - 100 * s.hysty;
    g.y1 = g.ycent;
    steps.y[0] = note_star(p, fredptr, steps, false);
    int* dec[4] = {&g.y2, &g.y3, &g.y4, &g.y5};
    const CalibrationMove dec_moves[4] = {North, North, South, South};
    for (int i = 0; i < 4; ++i) {
        if (!main_step(p, fredptr, dec_moves[i], ms)) return false;
        *dec[i] = g.ycent;
        steps.y[i + 1] = note_star(p, fredptr, steps, false);
    }
    ms = 1000 * s.slewdefault - 100 * s.hystx;
    g.x1 = g.xcent;
    steps.x[0] = note_star(p, fredptr, steps, true);
    int* ra[4] = {&g.x2, &g.x3, &g.x4, &g.x5};
    const CalibrationMove ra_moves[4] = {East, East, West, West};
    for (int i = 0; i < 4; ++i) {
        if (!main_step(p, fredptr, ra_moves[i], ms)) return false;
        *ra[i] = g.xcent;
        steps.x[i + 1] = note_star(p, fredptr, steps, true);
    }
    return true;
}

// Judges the training and, when it is sound, makes it the calibration in force.
void finish_main_training(Program& p, const MainSteps& steps) {
    GuideState& g = p.guide;
    SettingsState& s = p.settings;
    MainTrainingFigures f = main_training_figures(steps.x, steps.y, s.slewdefault);
    f.measure.star_every_step = steps.star_every_step;
    // The flux of every step against the median of them all.
    double sorted[10] = {};
    std::copy(steps.flux, steps.flux + steps.frames, sorted);
    std::nth_element(sorted, sorted + steps.frames / 2, sorted + steps.frames);
    const double typical = steps.frames > 0 ? std::max(sorted[steps.frames / 2], 1.0) : 1.0;
    f.measure.flux_low = *std::min_element(steps.flux, steps.flux + steps.frames) / typical;
    f.measure.flux_high = *std::max_element(steps.flux, steps.flux + steps.frames) / typical;
    const std::string faults = training_faults(f.measure);
    guide_log_calibration_end(p, f.west_per_s, f.north_per_s, faults);
    if (!faults.empty()) {
        report_failed_training(p, "Main camera", faults);
        return;
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
    CalibrationState& c = p.calib;
    c.main_ra_px_per_s = f.ra_px_per_s;
    c.main_dec_px_per_s = f.dec_px_per_s;
    c.main_ra_play_px = f.ra_play_px;
    c.main_dec_play_px = f.dec_play_px;
    c.main_calibration_precise = 1;
    save_ini_file(p, s.ini_file);
    save_guide_settings(p);
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
    g.cur_rad = s.star_mask;
    find_centre(p, g.xcent / scale, g.ycent / scale, fredptr, g.cur_rad);
    calc_guideframe(p);
    g.guiding = 1;
    g.training = 1;
    p.run.continuous = 0;
    g.cur_rad = s.star_mask;
    guide_log_calibration_begin(p, GuidePath::MainCamera, 1000 * s.slewdefault);
    MainSteps steps;
    if (main_sequence(p, fredptr, steps))
        finish_main_training(p, steps);
    else
        guide_log_calibration_stopped(p);
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

}  // namespace kvr
