#include "guiding/guide_log.h"

#include <algorithm>
#include <string>

#include "camera/camera_protocol.h"
#include "core/program.h"
#include "guiding/guide_log_file.h"
#include "guiding/training_check.h"

namespace kvr {

namespace {

constexpr const char* kFrameHeading =
    "Frame,Time,mount,dx,dy,RARawDistance,DECRawDistance,RAGuideDistance,DECGuideDistance,"
    "RADuration,RADirection,DECDuration,DECDirection,XStep,YStep,StarMass,SNR,ErrorCode";
// Error codes of a dropped frame, as the log readers know them.
constexpr int kLowSnr = 2;
constexpr int kMassChanged = 4;

// "xAngle = ..., xRate = ..., yAngle = ..., yRate = ..." of motions (x, y) per second of west and
// of north drive (or per AO step), y in guide-frame rows: angles in degrees on the sky-square
// frame, rates in pixels of the plate scale.
std::string calibration_text(double wx, double wy, double nx, double ny) {
    const Motion west{wx, wy}, north{nx, ny};
    constexpr double row = kFieldRowInColumns;
    return log_format("xAngle = %.1f, xRate = %.3f, yAngle = %.1f, yRate = %.3f",
                      sky_direction_deg(west, row), sky_length(west, row),
                      sky_direction_deg(north, row), sky_length(north, row));
}

std::string mount_line(const Program& p, GuidePath path) {
    const GuideState& g = p.guide;
    const CalibrationState& c = p.calib;
    const SettingsState& s = p.settings;
    std::string text = log_format("Mount = %s, connected, guiding enabled, ", drive_name(p));
    if (on_guider(path) && g.guider_use_trained && !s.ignore_RA_angle) {
        text += c.guider_calibration_precise
                    ? calibration_text(c.guider_ra_x_px_per_s, c.guider_ra_y_px_per_s,
                                       c.guider_dec_x_px_per_s, c.guider_dec_y_px_per_s)
                    : calibration_text(g.RA_x, g.RA_y, g.Dec_x, g.Dec_y);
    } else {
        const bool main = !on_guider(path);
        const double ra = main ? s.slewx : s.guider_slewx;
        const double dec = main ? s.slewy : s.guider_slewy;
        text += calibration_text(-ra, 0, 0, dec);
    }
    text += "\n";
    if (path != GuidePath::GuiderAo) return text;
    const bool trained = g.AOUnit_use_trained && c.ao_calibration_precise;
    const double ax = trained ? 0 : 1.0 / std::max(1, s.AOUnit_slewx);
    const double ay = trained ? 0 : 1.0 / std::max(1, s.AOUnit_slewy);
    return "AO = AO unit, connected, guiding enabled, " +
           (trained ? calibration_text(c.ao_west_x_px_per_step, c.ao_west_y_px_per_step,
                                       c.ao_north_x_px_per_step, c.ao_north_y_px_per_step)
                    : calibration_text(-ax, 0, 0, ay)) +
           "\n" + text;
}

// The session's header, written with its first frame (the reference is known by then).
void write_header(Program& p) {
    GuideLogState& l = p.guide_log;
    if (l.header_written) return;
    const GuideState& g = p.guide;
    const bool guider = on_guider(l.path);
    SectionStart start;
    start.begins = "Guiding Begins at ";
    start.mount = mount_line(p, l.path);
    start.lock_x = g.x1 + g.x1dec / 10.0;
    start.lock_y = g.y1 + g.y1dec / 10.0;
    start.star_x = guider ? g.guider_xcent + g.guider_xcentdec / 10.0 : g.xcent + g.xcentdec / 10.0;
    start.star_y = guider ? g.guider_ycent + g.guider_ycentdec / 10.0 : g.ycent + g.ycentdec / 10.0;
    start.heading = kFrameHeading;
    write_section_header(p, start);
}

double seconds_in(const GuideLogState& l, uint32_t at_ms) {
    return (at_ms - l.start_ms) / 1000.0;
}

// Writes the frame line that was waiting for its corrections.
void flush_line(Program& p) {
    GuideLogState& l = p.guide_log;
    if (!l.pending) return;
    l.pending = false;
    const GuideLogFrame& f = l.line;
    const bool ao = l.path == GuidePath::GuiderAo;
    const bool ra_sent = ao ? f.x_steps != 0 : f.ra_ms > 0;
    const bool dec_sent = ao ? f.y_steps != 0 : f.dec_ms > 0;
    std::string text =
        log_format("%d,%.3f,\"%s\",%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,", l.frame, seconds_in(l, f.at_ms),
                   ao ? "AO" : "Mount", f.dx_px, f.dy_px, f.ra_px, f.dec_px,
                   ra_sent ? f.ra_px : 0.0, dec_sent ? f.dec_px : 0.0);
    if (ao) {
        text += log_format(",,,,%d,%d,", f.x_steps, f.y_steps);
    } else {
        const char ra_dir[2] = {f.ra_ms > 0 ? f.ra_dir : '\0', '\0'};
        const char dec_dir[2] = {f.dec_ms > 0 ? f.dec_dir : '\0', '\0'};
        text += log_format("%d,%s,%d,%s,,,", f.ra_ms, ra_dir, f.dec_ms, dec_dir);
    }
    text += log_format("%.0f,%.2f,0\n", f.mass, f.snr);
    log_append(p, text);
}

void drop_frame(Program& p, const StarSignal& star, bool faint) {
    GuideLogState& l = p.guide_log;
    flush_line(p);
    write_header(p);
    l.frame += 1;
    log_append(p, log_format("%d,%.3f,\"DROP\",,,,,,,,,,,,,%.0f,%.2f,%d,\"%s\"\n", l.frame,
                             seconds_in(l, p.clock.ms()), star.flux, star.snr,
                             faint ? kLowSnr : kMassChanged,
                             faint ? "Star lost - low SNR" : "Star lost - mass changed"));
}

// The logical direction (E, W, N, S) of a letter sent, through the settings' letter map.
char direction_of(const Program& p, char letter, bool ao) {
    const SettingsState& s = p.settings;
    const char e = ao ? s.AOe : s.e, w = ao ? s.AOw : s.w;
    const char n = ao ? s.AOn : s.n, so = ao ? s.AOs : s.s;
    if (letter == e) return 'E';
    if (letter == w) return 'W';
    if (letter == n) return 'N';
    if (letter == so) return 'S';
    return 0;
}

}  // namespace

GuidePath guider_path(const Program& p) {
    return p.settings.GuiderMode == 'T' ? GuidePath::GuiderMount : GuidePath::GuiderAo;
}

void guide_log_begin(Program& p, GuidePath path) {
    guide_log_end(p);
    GuideLogState& l = p.guide_log;
    l.calibration.open = false;
    l.session_open = true;
    l.header_written = false;
    l.pending = false;
    l.path = path;
    l.frame = 0;
    l.start_ms = p.clock.ms();
    l.start_calendar = static_cast<int64_t>(p.clock.calendar_time());
}

void guide_log_end(Program& p) {
    GuideLogState& l = p.guide_log;
    if (!l.session_open) return;
    flush_line(p);
    l.session_open = false;
    if (l.header_written)
        log_append(p, "Guiding Ends at " + log_time(p, p.clock.calendar_time()) + "\n");
}

void guide_log_end_if(Program& p, GuidePath path) {
    if (p.guide_log.path == path) guide_log_end(p);
}

StarSeen watch_and_log(Program& p, const StarSignal& star) {
    const double level = p.guide.guide_star_flux;
    const StarSeen seen = watch_guide_star(p, star);
    GuideLogState& l = p.guide_log;
    if (!l.session_open) return seen;
    if (seen == StarSeen::kMeasured) {
        l.star_mass = star.flux;
        l.star_snr = star.snr;
    } else {
        drop_frame(p, star, !holds_star(star) || star.flux < level);
    }
    return seen;
}

void guide_log_measured(Program& p, double ra_arcsec, double dec_arcsec, double arcsec_per_px) {
    GuideLogState& l = p.guide_log;
    if (!l.session_open) return;
    flush_line(p);
    write_header(p);
    l.frame += 1;
    l.pending = true;
    GuideLogFrame& f = l.line;
    f = GuideLogFrame{};
    f.at_ms = p.clock.ms();
    // Adding 0.0 turns a negative zero (no error) into a plain one in the printed line.
    f.dx_px = -0.001 * p.guide.dx + 0.0;
    f.dy_px = -0.001 * p.guide.dy + 0.0;
    f.ra_px = ra_arcsec / arcsec_per_px + 0.0;
    f.dec_px = dec_arcsec / arcsec_per_px + 0.0;
    f.mass = l.star_mass;
    f.snr = l.star_snr;
}

void guide_log_correction(Program& p, char letter, int amount, bool ao) {
    GuideLogState& l = p.guide_log;
    if (!l.session_open || !l.pending) return;
    GuideLogFrame& f = l.line;
    const char direction = direction_of(p, letter, ao);
    const bool ra = direction == 'E' || direction == 'W';
    if (ao) {
        const int signed_steps = direction == 'E' || direction == 'N' ? amount : -amount;
        (ra ? f.x_steps : f.y_steps) += signed_steps;
        return;
    }
    if (direction == 0) return;
    (ra ? f.ra_ms : f.dec_ms) += amount;
    (ra ? f.ra_dir : f.dec_dir) = direction;
}

void guide_log_info(Program& p, std::string_view text) {
    GuideLogState& l = p.guide_log;
    if (!l.session_open) return;
    flush_line(p);
    write_header(p);
    log_append(p, "INFO: " + std::string(text) + "\n");
}

}  // namespace kvr
