#include "guiding/corrections.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/program.h"
#include "guiding/centroid.h"
#include "guiding/guide_drive.h"
#include "guiding/guide_errors.h"
#include "scope/ao_unit.h"

namespace kvr {

namespace {

// Smallest errors corrected (thousandths of a pixel) when no dead band is set.
constexpr int kMainRaThreshold = 50;
constexpr int kMainDecThreshold = 30;
constexpr int kGuiderThreshold = 30;
constexpr int kAoThreshold = 30;
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
    int threshold;  // thousandths of a pixel
    int backlash;   // pixels lost on a reversal
    int rate;       // pixels per second of drive
    int hyst;       // tenths of a second taken off every pulse
};

bool beyond_dead_band(const Program& p, int error, int threshold) {
    const SettingsState& s = p.settings;
    return s.ignore_small ? std::abs(error) > s.ignore_amount : std::abs(error) > threshold;
}

// Pulse length in ms for an error on one axis; `last` remembers the direction for the backlash
// allowance: the first pulse after a reversal is longer by the play taken up (whatever the
// error's sign), the time `backlash` pixels take at `rate`.
int axis_pulse_ms(int error, char direction, char& last, int backlash, int rate, int hyst) {
    int magnitude = std::abs(error);
    if (direction != last) magnitude += 1000 * backlash;
    last = direction;
    return magnitude / std::max(rate, 1) - 100 * hyst;
}

// RA of the untrained paths: east for a positive error. Returns the pulse length (<= 0: none).
int correct_ra(Program& p, int error, const AxisRule& r) {
    if (!beyond_dead_band(p, error, r.threshold)) return 0;
    GuideState& g = p.guide;
    const char direction = error > 0 ? p.settings.e : p.settings.w;
    const int ms = axis_pulse_ms(error, direction, g.lastslewx, r.backlash, r.rate, r.hyst);
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
    ms = axis_pulse_ms(error, direction, g.lastslewy, r.backlash, r.rate, r.hyst);
    guide_pulse(p, 'y', direction, ms);
    return true;
}

bool beyond_guider_range(const GuideState& g) {
    return std::abs(g.dx) > kGuiderSkipError || std::abs(g.dy) > kGuiderSkipError;
}

// Pulse length in ms of one axis of the trained correction: its share of the error (ms of drive,
// either sign), and on a reversal the trained play (pixels) at the speed of the axis's motion
// vector (vx, vy) in px/s. The speed is taken from the vector, not from its stored whole length:
// at an angle a (−2, 2) px/s vector moves 2.83 px/s, and the play would take half as long again.
// The play goes only with a share at least as long as itself: training measures it in whole
// pixels, so a play of one pixel may be seeing, and a smaller error is as likely seeing as a real
// turn of the star. Given to every such reversal it made the star swing from side to side by the
// play, frame after frame; a small reversal left to a real play is only taken up a frame later.
int trained_pulse_ms(int64_t share_ms, char direction, char& last, int backlash, int vx, int vy,
                     int hyst) {
    int ms = static_cast<int>(std::min<int64_t>(share_ms < 0 ? -share_ms : share_ms, 60000));
    if (direction != last) {
        const double speed = std::max(1.0, std::hypot(double(vx), double(vy)));
        const int play_ms = static_cast<int>(std::lround(1000.0 * backlash / speed));
        if (ms >= play_ms) ms += play_ms;
    }
    last = direction;
    return ms - 100 * hyst;
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

// Trained guider correction: the error is decomposed on the trained motion vectors, star motion
// per second of west drive (RA_x, RA_y) and of north drive (Dec_x, Dec_y), and each axis is pulsed
// for its own share. The error is in thousandths of a pixel, so the shares come out in ms.
void trained_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    const int64_t det = int64_t{g.RA_x} * g.Dec_y - int64_t{g.Dec_x} * g.RA_y;
    // Parallel (or zero) motions cannot be told apart: there is nothing to decompose on.
    if (det == 0) return;
    const int64_t k = aggressiveness(p);
    const int64_t west_ms = k * (int64_t{g.Dec_y} * g.dx - int64_t{g.Dec_x} * g.dy) / (100 * det);
    const int64_t north_ms = k * (int64_t{g.RA_x} * g.dy - int64_t{g.RA_y} * g.dx) / (100 * det);
    const char ra_dir = west_ms > 0 ? s.w : s.e;
    const int ra_ms = trained_pulse_ms(west_ms, ra_dir, g.lastslewx, g.RA_backlash, g.RA_x, g.RA_y,
                                       s.guider_hystx);
    g.slew_time_x = shown_length(ra_ms);
    guide_pulse(p, 'x', ra_dir, ra_ms);
    p.clock.sleep_ms(kGuiderAxisGapMs);

    const char dec_dir = north_ms > 0 ? s.n : s.s;
    const int dec_ms = trained_pulse_ms(north_ms, dec_dir, g.lastslewy, g.Dec_backlash, g.Dec_x,
                                        g.Dec_y, s.guider_hysty);
    g.slew_time_y = shown_length(dec_ms);
    guide_pulse(p, 'y', dec_dir, dec_ms);
}

}  // namespace

// The guider centroid; a failure marks guider guiding as failed.
static bool measure_guider(Program& p, const uint16_t* frame) {
    if (measure_guide_error(p, frame, true) == 0) return true;
    p.guide.guider_guiding_failed = 1;
    return false;
}

int measure_guide_error(Program& p, const uint16_t* frame, bool guider) {
    GuideState& g = p.guide;
    const int result = guider ? guider_find_centre(p, g.x1, g.y1, frame, g.cur_rad)
                              : find_centre(p, g.x1, g.y1, frame, g.cur_rad);
    const int x = guider ? g.guider_xcent : g.xcent;
    const int y = guider ? g.guider_ycent : g.ycent;
    const int xd = guider ? g.guider_xcentdec : g.xcentdec;
    const int yd = guider ? g.guider_ycentdec : g.ycentdec;
    g.dx = to_error16(1000 * (g.x1 - x) + (1000 * (g.x1dec - xd)) / 10);
    g.dy = to_error16(1000 * (g.y1 - y) + (1000 * (g.y1dec - yd)) / 10);
    g.x3 = g.dx;
    g.y3 = g.dy;
    if (result == 0) record_guide_error(p, guider);
    return result;
}

int guide_telescope(Program& p, const uint16_t* fredptr) {
    measure_guide_error(p, fredptr, false);
    return main_correction(p);
}

int main_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    if (std::abs(g.dx) > kMainLostError || std::abs(g.dy) > kMainLostError) return 1;
    g.slew_time_x =
        shown_length(correct_ra(p, g.dx, {kMainRaThreshold, s.backlashx, s.slewx, s.hystx}));
    int ms = 0;
    correct_dec(p, g.dy, {kMainDecThreshold, s.backlashy, s.slewy, s.hysty}, ms);
    g.slew_time_y = shown_length(ms);
    return 0;
}

int guider_guide_telescope(Program& p, const uint16_t* fredptr) {
    if (!measure_guider(p, fredptr)) return 3;
    guider_mount_correction(p);
    return 0;
}

void guider_mount_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    if (g.guider_use_trained && !s.ignore_RA_angle) {
        trained_correction(p);
        return;
    }
    if (beyond_guider_range(g)) return;
    g.slew_time_x = shown_length(correct_ra(
        p, g.dx, {kGuiderThreshold, s.guider_backlashx, s.guider_slewx, s.guider_hystx}));
    p.clock.sleep_ms(kGuiderAxisGapMs);
    int ms = 0;
    const bool go_on = correct_dec(
        p, g.dy, {kGuiderThreshold, s.guider_backlashy, s.guider_slewy, s.guider_hysty}, ms);
    if (go_on) g.slew_time_y = shown_length(ms);
}

int guider_guide_ao_unit(Program& p, const uint16_t* fredptr) {
    if (!measure_guider(p, fredptr)) return 3;
    guider_ao_correction(p);
    return 0;
}

void guider_ao_correction(Program& p) {
    GuideState& g = p.guide;
    const SettingsState& s = p.settings;
    if (beyond_guider_range(g)) return;
    const char x_direction = g.dx > 0 ? s.AOw : s.AOe;
    const char y_direction = g.dy > 0 ? s.AOn : s.AOs;
    // The whole error teaches the bump compensation; the share is what is sent.
    ao_unit_bump_seen(p, x_direction, ao_share(g.dx, s.AOUnit_slewx, 100));
    ao_unit_bump_seen(p, y_direction, ao_share(g.dy, s.AOUnit_slewy, 100));
    if (std::abs(g.dx) > kAoThreshold) {
        const int steps = ao_share(g.dx, s.AOUnit_slewx, aggressiveness(p));
        g.slew_time_x = shown_length(steps);
        ao_move(p, 'x', x_direction, steps);
    }
    if (std::abs(g.dy) > kAoThreshold) {
        const int steps = ao_share(g.dy, s.AOUnit_slewy, aggressiveness(p));
        g.slew_time_y = shown_length(steps);
        ao_move(p, 'y', y_direction, steps);
    }
}

int guider_guide_command(Program& p, const uint16_t* fredptr) {
    return p.settings.GuiderMode == 'T' ? guider_guide_telescope(p, fredptr)
                                        : guider_guide_ao_unit(p, fredptr);
}

}  // namespace kvr
