#include "guiding/corrections.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/messages.h"
#include "core/program.h"
#include "guiding/centroid.h"
#include "guiding/guide_drive.h"
#include "guiding/guide_errors.h"
#include "guiding/guide_log.h"
#include "guiding/star_fit.h"
#include "guiding/star_signal.h"
#include "guiding/star_watch.h"
#include "scope/ao_unit.h"

namespace kvr {

namespace {

// Smallest errors corrected (thousandths of a pixel) when no dead band is set.
constexpr int kMainRaThreshold = 50;
constexpr int kMainDecThreshold = 30;
constexpr int kGuiderThreshold = 30;
constexpr int kAoThreshold = 30;
// The main camera's guide frame while guiding or tracking: 128 × 128.
constexpr int kGuideFrameSize = 128;
// Pause between the RA and the Dec correction of the guider paths.
constexpr uint32_t kGuiderAxisGapMs = 70;

// The error kept in a 16-bit variable: an error beyond its range (a centroid far from the
// reference) stays beyond every threshold instead of wrapping round to a small one.
int16_t to_error16(int v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// Pulse lengths shown by the information windows are unsigned: nothing sent shows as 0.
uint16_t shown_length(int v) {
    return static_cast<uint16_t>(std::clamp(v, 0, 65535));
}

// Calibration of one axis of the untrained paths.
struct AxisRule {
    int threshold;      // thousandths of a pixel
    double play;        // pixels lost on a reversal
    double rate;        // pixels per second of drive
    int hyst;           // tenths of a second taken off every pulse
    int percent = 100;  // share of the error corrected
};

bool beyond_dead_band(const Program& p, int error, int threshold) {
    const SettingsState& s = p.settings;
    return s.ignore_small ? std::abs(error) > s.ignore_amount : std::abs(error) > threshold;
}

// Pulse length in ms for an error on one axis; `last` remembers the direction for the backlash
// allowance: the first pulse after a reversal is longer by the play taken up (whatever the
// error's sign), the time `play` pixels take at `rate`. As on the trained path, the play goes
// only with a correction at least as long as itself: trainings read a pixel or two of play from
// seeing alone, and given to every reversal it swings the star from side to side frame after
// frame; a real play left out of a small reversal is taken up a frame later.
int axis_pulse_ms(int error, char direction, char& last, const AxisRule& r) {
    const double magnitude = std::abs(error) * r.percent / 100.0;
    const double play = 1000.0 * r.play;
    const double with_play = direction != last && magnitude >= play ? magnitude + play : magnitude;
    last = direction;
    return static_cast<int>(with_play / std::max(r.rate, 0.01)) - 100 * r.hyst;
}

// RA of the untrained paths: east for a positive error. Returns the pulse length (<= 0: none).
int correct_ra(Program& p, int error, const AxisRule& r) {
    if (!beyond_dead_band(p, error, r.threshold)) return 0;
    GuideState& g = p.guide;
    const char direction = error > 0 ? p.settings.e : p.settings.w;
    const int ms = axis_pulse_ms(error, direction, g.lastslewx, r);
    guide_pulse(p, 'x', direction, ms);
    return ms;
}

// Dec of the untrained paths: north for a positive error. False when a north or south inhibit
// ends the correction here; `ms` receives the pulse length (<= 0: none).
bool correct_dec(Program& p, int error, const AxisRule& r, int& ms) {
    ms = 0;
    if (!beyond_dead_band(p, error, r.threshold)) return true;
    const SettingsState& s = p.settings;
    GuideState& g = p.guide;
    char direction = 0;
    if (error > 0) {
        if (s.ignore_north) return false;
        direction = s.n;
    } else {
        if (s.ignore_south) return false;
        direction = s.s;
    }
    ms = axis_pulse_ms(error, direction, g.lastslewy, r);
    guide_pulse(p, 'y', direction, ms);
    return true;
}

bool beyond_guider_range(const GuideState& g) {
    return std::abs(g.dx) > kGuiderSkipError || std::abs(g.dy) > kGuiderSkipError;
}

// Pulse length in ms of one axis of the trained correction: its share of the error (ms of drive,
// either sign), and on a reversal the trained play at the speed of the axis's motion. The play
// goes only with a share at least as long as itself: a smaller error is as likely seeing as a
// real turn of the star. Given to every such reversal it made the star swing from side to side by
// the play, frame after frame; a small reversal left to a real play is only taken up a frame
// later.
int trained_pulse_ms(double share_ms, char direction, char& last, double play_ms, int hyst) {
    double ms = std::min(std::abs(share_ms), 60000.0);
    if (direction != last && ms >= play_ms) ms += play_ms;
    last = direction;
    return static_cast<int>(std::lround(ms)) - 100 * hyst;
}

// Share of each measured error that the guider paths correct, percent.
int aggressiveness(const Program& p) {
    return std::clamp(p.guide.guider_aggressiveness, kMinAggressiveness, 100);
}

// AO steps for an error of `error` thousandths of a pixel at `slew` steps per pixel, `k` percent
// of it. The whole error truncates, as the unit's step count always has; a share rounds, so the
// step it leaves behind is never more than half a step.
int ao_share(int error, int slew, int k) {
    const int64_t scaled = std::abs(int64_t{error} * slew) * k;
    return static_cast<int>(k == 100 ? scaled / 100000 : (scaled + 50000) / 100000);
}

// The trained motions of the guider path: per second of west and of north drive (px/s) and the
// play of each axis (px). The precise figures when they belong to the whole numbers in force
// (a settings file from elsewhere may have replaced those), else the whole numbers.
struct TrainedMotions {
    double wx, wy, nx, ny, ra_play, dec_play;
};

bool near(double precise, int whole) {
    return std::abs(precise - whole) <= 1.5;
}

TrainedMotions guider_motions(const Program& p) {
    const GuideState& g = p.guide;
    const CalibrationState& c = p.calib;
    if (c.guider_calibration_precise && near(c.guider_ra_x_px_per_s, g.RA_x) &&
        near(c.guider_ra_y_px_per_s, g.RA_y) && near(c.guider_dec_x_px_per_s, g.Dec_x) &&
        near(c.guider_dec_y_px_per_s, g.Dec_y))
        return {c.guider_ra_x_px_per_s,  c.guider_ra_y_px_per_s, c.guider_dec_x_px_per_s,
                c.guider_dec_y_px_per_s, c.guider_ra_play_px,    c.guider_dec_play_px};
    return {double(g.RA_x),  double(g.RA_y),        double(g.Dec_x),
            double(g.Dec_y), double(g.RA_backlash), double(g.Dec_backlash)};
}

// Sky-proportional determinant below which two motions are taken as parallel.
constexpr double kParallelMotions = 1e-3;

// The error (ex, ey) as `west` of the first trained motion plus `north` of the second. False
// when the motions are parallel (or zero): there is nothing to decompose on.
bool decompose(const TrainedMotions& m, double ex, double ey, double& west, double& north) {
    const double det = m.wx * m.ny - m.nx * m.wy;
    const double scale = std::hypot(m.wx, m.wy) * std::hypot(m.nx, m.ny);
    if (scale <= 0 || std::abs(det) < kParallelMotions * scale) return false;
    west = (m.ny * ex - m.nx * ey) / det;
    north = (m.wx * ey - m.wy * ex) / det;
    return true;
}

// Trained guider correction: the error is decomposed on the trained motion vectors, star motion
// per second of west drive and of north drive, and each axis is pulsed for its own share. The
// error is in thousandths of a pixel, so the shares come out in ms. False when the motions are
// parallel (nothing to decompose on): the caller then guides untrained.
bool trained_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    const TrainedMotions m = guider_motions(p);
    double west_ms = 0, north_ms = 0;
    if (!decompose(m, g.dx, g.dy, west_ms, north_ms)) return false;
    const double k = aggressiveness(p) / 100.0;
    west_ms *= k;
    north_ms *= k;
    const char ra_dir = west_ms > 0 ? s.w : s.e;
    const double ra_play_ms = 1000.0 * m.ra_play / std::max(1e-3, std::hypot(m.wx, m.wy));
    const int ra_ms = trained_pulse_ms(west_ms, ra_dir, g.lastslewx, ra_play_ms, s.guider_hystx);
    g.slew_time_x = shown_length(ra_ms);
    guide_pulse(p, 'x', ra_dir, ra_ms);
    p.clock.sleep_ms(kGuiderAxisGapMs);

    const char dec_dir = north_ms > 0 ? s.n : s.s;
    const double dec_play_ms = 1000.0 * m.dec_play / std::max(1e-3, std::hypot(m.nx, m.ny));
    const int dec_ms =
        trained_pulse_ms(north_ms, dec_dir, g.lastslewy, dec_play_ms, s.guider_hysty);
    g.slew_time_y = shown_length(dec_ms);
    guide_pulse(p, 'y', dec_dir, dec_ms);
    return true;
}

// The error in whole AO steps along the element's west and north moves (signed), `k` percent of
// it: on the trained motions of a sound AO training in use, else on the steps per pixel in use
// along the frame's axes. True when the trained motions were used (they mix the frame's axes).
bool ao_steps(const Program& p, int k, int& west_steps, int& north_steps) {
    const SettingsState& s = p.settings;
    const GuideState& g = p.guide;
    const CalibrationState& c = p.calib;
    const TrainedMotions m{c.ao_west_x_px_per_step,
                           c.ao_west_y_px_per_step,
                           c.ao_north_x_px_per_step,
                           c.ao_north_y_px_per_step,
                           0,
                           0};
    double west = 0, north = 0;
    if (g.AOUnit_use_trained && c.ao_calibration_precise &&
        decompose(m, 0.001 * g.dx, 0.001 * g.dy, west, north)) {
        west_steps = static_cast<int>(k == 100 ? west : std::lround(west * k / 100.0));
        north_steps = static_cast<int>(k == 100 ? north : std::lround(north * k / 100.0));
        return true;
    }
    west_steps = (g.dx > 0 ? 1 : -1) * ao_share(g.dx, s.AOUnit_slewx, k);
    north_steps = (g.dy > 0 ? 1 : -1) * ao_share(g.dy, s.AOUnit_slewy, k);
    return false;
}

}  // namespace

// The guider centroid: 0 measured; kStarNotSeen nothing to correct from this frame; 3 failed
// (the centroid failed, or the star stayed lost for longer than guiding waits), which marks
// guider guiding as failed.
static int measure_guider(Program& p, const uint16_t* frame) {
    const int result = measure_guide_error(p, frame, true);
    if (result == 0 || result == kStarNotSeen) return result;
    if (result == kStarGone) message50(p, kGuiderStarLostText);
    p.guide.guider_guiding_failed = 1;
    return 3;
}

int measure_guide_error(Program& p, const uint16_t* frame, bool guider) {
    GuideState& g = p.guide;
    const bool sub_frame = g.guiding || g.tracking;
    const int width = guider ? kGuiderWidth : (sub_frame ? kGuideFrameSize : p.geo.width1);
    const int height = guider ? kGuiderHeight : (sub_frame ? kGuideFrameSize : p.geo.height1);
    const int result = guider ? guider_find_centre(p, g.x1, g.y1, frame, g.cur_rad)
                              : find_centre(p, g.x1, g.y1, frame, g.cur_rad);
    const int x = guider ? g.guider_xcent : g.xcent;
    const int y = guider ? g.guider_ycent : g.ycent;
    const int xd = guider ? g.guider_xcentdec : g.xcentdec;
    const int yd = guider ? g.guider_ycentdec : g.ycentdec;
    if (result != 0) return result;
    const StarSignal star = measure_star(frame, width, height, x, y, g.cur_rad);
    switch (watch_and_log(p, star)) {
        case StarSeen::kMeasured:
            break;
        case StarSeen::kLost:
            return kStarNotSeen;
        case StarSeen::kGone:
            return kStarGone;
    }
    g.dx = to_error16(1000 * (g.x1 - x) + (1000 * (g.x1dec - xd)) / 10);
    g.dy = to_error16(1000 * (g.y1 - y) + (1000 * (g.y1dec - yd)) / 10);
    double fx = 0, fy = 0;
    if (guider && fit_star_centre(frame, width, height, star, fx, fy)) {
        // The guider's rows are too tall for the centroid to see a sharp star move within one:
        // its height is read from the fitted profile, held to the reference row plus the fit's
        // offset from the centroid on the reference's first frame. (Across the columns the
        // centroid does as well as the fit.)
        const std::array<int, 4> key{g.x1, g.y1, g.x1dec, g.y1dec};
        FittedReference& ref = g.fitted_reference;
        if (!ref.set || ref.key != key) ref = {key, fy - (y + 0.1 * yd), true};
        g.dy =
            to_error16(static_cast<int>(std::lround(1000 * (g.y1 + 0.1 * g.y1dec + ref.dy - fy))));
    }
    g.x3 = g.dx;
    g.y3 = g.dy;
    record_guide_error(p, guider);
    return 0;
}

int guide_telescope(Program& p, const uint16_t* fredptr) {
    const int seen = measure_guide_error(p, fredptr, false);
    // A frame without the star sends nothing; a star gone for good ends guiding as a lost star.
    if (seen == kStarNotSeen) return 0;
    if (seen == kStarGone) return 1;
    return main_correction(p);
}

int main_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    const CalibrationState& c = p.calib;
    if (std::abs(g.dx) > kMainLostError || std::abs(g.dy) > kMainLostError) return 1;
    AxisRule ra{kMainRaThreshold, double(s.backlashx), double(s.slewx), s.hystx};
    AxisRule dec{kMainDecThreshold, double(s.backlashy), double(s.slewy), s.hysty};
    // The trained rates to a tenth of a pixel, when they belong to the whole numbers in force;
    // then, as on the trained guider, each correction takes its share of the error.
    if (c.main_calibration_precise && near(c.main_ra_px_per_s, s.slewx) &&
        near(c.main_dec_px_per_s, s.slewy)) {
        ra.rate = c.main_ra_px_per_s;
        ra.play = c.main_ra_play_px;
        dec.rate = c.main_dec_px_per_s;
        dec.play = c.main_dec_play_px;
        ra.percent = dec.percent = aggressiveness(p);
    }
    g.slew_time_x = shown_length(correct_ra(p, g.dx, ra));
    int ms = 0;
    correct_dec(p, g.dy, dec, ms);
    g.slew_time_y = shown_length(ms);
    return 0;
}

int guider_guide_telescope(Program& p, const uint16_t* fredptr) {
    const int seen = measure_guider(p, fredptr);
    if (seen != 0) return seen == 3 ? 3 : 0;
    guider_mount_correction(p);
    return 0;
}

void guider_mount_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    if (g.guider_use_trained && !s.ignore_RA_angle && trained_correction(p)) return;
    if (beyond_guider_range(g)) return;
    g.slew_time_x = shown_length(correct_ra(
        p, g.dx,
        {kGuiderThreshold, double(s.guider_backlashx), double(s.guider_slewx), s.guider_hystx}));
    p.clock.sleep_ms(kGuiderAxisGapMs);
    int ms = 0;
    const bool go_on = correct_dec(
        p, g.dy,
        {kGuiderThreshold, double(s.guider_backlashy), double(s.guider_slewy), s.guider_hysty}, ms);
    if (go_on) g.slew_time_y = shown_length(ms);
}

int guider_guide_ao_unit(Program& p, const uint16_t* fredptr) {
    const int seen = measure_guider(p, fredptr);
    if (seen != 0) return seen == 3 ? 3 : 0;
    guider_ao_correction(p);
    return 0;
}

void guider_ao_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    if (beyond_guider_range(g)) return;
    int west = 0, north = 0;
    // The whole error teaches the bump compensation; the share is what is sent.
    ao_steps(p, 100, west, north);
    const char x_direction = west > 0 ? s.AOw : s.AOe;
    const char y_direction = north > 0 ? s.AOn : s.AOs;
    ao_unit_bump_seen(p, x_direction, std::abs(west));
    ao_unit_bump_seen(p, y_direction, std::abs(north));
    // Each axis moves once its error passes the threshold; on trained motions, which mix the
    // frame's axes, both move once the error as a whole does.
    const bool mixed = ao_steps(p, aggressiveness(p), west, north);
    const bool whole = std::hypot(double(g.dx), double(g.dy)) > kAoThreshold;
    if (mixed ? whole : std::abs(g.dx) > kAoThreshold) {
        g.slew_time_x = shown_length(std::abs(west));
        ao_move(p, 'x', x_direction, std::abs(west));
    }
    if (mixed ? whole : std::abs(g.dy) > kAoThreshold) {
        g.slew_time_y = shown_length(std::abs(north));
        ao_move(p, 'y', y_direction, std::abs(north));
    }
}

int guider_guide_command(Program& p, const uint16_t* fredptr) {
    return p.settings.GuiderMode == 'T' ? guider_guide_telescope(p, fredptr)
                                        : guider_guide_ao_unit(p, fredptr);
}

}  // namespace kvr
