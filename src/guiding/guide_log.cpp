#include "guiding/guide_log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "camera/camera_protocol.h"
#include "camera/readout.h"
#include "core/program.h"
#include "core/version.h"
#include "files/file_io.h"
#include "files/time_zone.h"
#include "guiding/guide_errors.h"

namespace kvr {

namespace {

constexpr const char* kLogFolder = "c:\\autosave";
constexpr const char* kLogVersion = "2.5";
constexpr const char* kFrameHeading =
    "Frame,Time,mount,dx,dy,RARawDistance,DECRawDistance,RAGuideDistance,DECGuideDistance,"
    "RADuration,RADirection,DECDuration,DECDirection,XStep,YStep,StarMass,SNR,ErrorCode";
// Error codes of a dropped frame, as the log readers know them.
constexpr int kLowSnr = 2;
constexpr int kMassChanged = 4;
// Width of a binned frame's column, µm (two sensor columns).
constexpr double kBinnedColumnUm = 2 * kColumnPitchUm;
constexpr double kArcsecPerRadian = 206264.8;

bool guider(GuidePath path) {
    return path == GuidePath::GuiderMount || path == GuidePath::GuiderAo;
}

std::string stamp(const Program& p, std::time_t t, const char* format) {
    const std::tm local = program_local_time(p, t);
    char text[64];
    if (std::strftime(text, sizeof text, format, &local) == 0) return {};
    return text;
}

// Appends `text` to the log; a log that cannot be written is said once and then left alone.
void append(Program& p, const std::string& text) {
    GuideLogState& l = p.guide_log;
    if (l.file.empty()) return;
    std::FILE* f = std::fopen(l.file.c_str(), "a");
    const bool written = f && std::fputs(text.c_str(), f) >= 0;
    if (f && std::fclose(f) != 0) f = nullptr;
    if (written && f) return;
    p.host.diagnostic("Unable to write the guide log " + l.file);
    l.file.clear();
}

std::string format(const char* pattern, auto... values) {
    char text[320];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// The log file of this run of the program, with its first line, at its first session.
void open_file(Program& p) {
    GuideLogState& l = p.guide_log;
    if (!l.file.empty()) return;
    std::error_code ec;
    const std::string folder = host_path(p, kLogFolder);
    std::filesystem::create_directories(folder, ec);
    const auto started = static_cast<std::time_t>(l.start_calendar);
    l.file = folder + "/" + stamp(p, started, "PHD2_GuideLog_%Y-%m-%d_%H%M%S.txt");
    append(p, format("kvr_q4 version %s, PHD2 log version %s. Log enabled at %s\n", kProgramVersion,
                     kLogVersion, stamp(p, started, "%Y-%m-%d %H:%M:%S").c_str()));
}

// "xAngle = ..., xRate = ..., yAngle = ..., yRate = ..." of motions (x, y) per second of west and
// of north drive (or per AO step), y in guide-frame rows: angles in degrees on the sky-square
// frame, rates in pixels of the plate scale.
std::string calibration_text(double wx, double wy, double nx, double ny, double row) {
    const double pi = std::acos(-1.0);
    const auto angle = [pi](double x, double y) { return std::atan2(y, x) * 180.0 / pi; };
    return format("xAngle = %.1f, xRate = %.3f, yAngle = %.1f, yRate = %.3f", angle(wx, wy * row),
                  std::hypot(wx, wy * row), angle(nx, ny * row), std::hypot(nx, ny * row));
}

std::string mount_line(const Program& p, GuidePath path) {
    const GuideState& g = p.guide;
    const CalibrationState& c = p.calib;
    const SettingsState& s = p.settings;
    const char* drive = p.scope.telescope == 'b' ? "guide-interface box" : "LX200 mount";
    std::string text = format("Mount = %s, connected, guiding enabled, ", drive);
    if (guider(path) && g.guider_use_trained && !s.ignore_RA_angle) {
        text += c.guider_calibration_precise
                    ? calibration_text(c.guider_ra_x_px_per_s, c.guider_ra_y_px_per_s,
                                       c.guider_dec_x_px_per_s, c.guider_dec_y_px_per_s,
                                       kFieldRowInColumns)
                    : calibration_text(g.RA_x, g.RA_y, g.Dec_x, g.Dec_y, kFieldRowInColumns);
    } else {
        const bool main = !guider(path);
        const double ra = main ? s.slewx : s.guider_slewx;
        const double dec = main ? s.slewy : s.guider_slewy;
        text += calibration_text(-ra, 0, 0, dec, kFieldRowInColumns);
    }
    text += "\n";
    if (path != GuidePath::GuiderAo) return text;
    const bool trained = g.AOUnit_use_trained && c.ao_calibration_precise;
    const double ax = trained ? 0 : 1.0 / std::max(1, s.AOUnit_slewx);
    const double ay = trained ? 0 : 1.0 / std::max(1, s.AOUnit_slewy);
    return "AO = AO unit, connected, guiding enabled, " +
           (trained ? calibration_text(c.ao_west_x_px_per_step, c.ao_west_y_px_per_step,
                                       c.ao_north_x_px_per_step, c.ao_north_y_px_per_step,
                                       kFieldRowInColumns)
                    : calibration_text(-ax, 0, 0, ay, kFieldRowInColumns)) +
           "\n" + text;
}

// The session's header, written with its first frame (the reference is known by then).
void write_header(Program& p) {
    GuideLogState& l = p.guide_log;
    if (l.header_written) return;
    l.header_written = true;
    open_file(p);
    const GuideState& g = p.guide;
    const bool on_guider = guider(l.path);
    const double scale = plate_scale_in_use(p);
    const double column_um = on_guider || !p.readout.binned ? kColumnPitchUm : kBinnedColumnUm;
    const int exposure_ms = on_guider                        ? guider_exposure_ms(p)
                            : l.path == GuidePath::SelfGuide ? p.readout.selfguiding_exposure
                                                             : window_exposure_ms(p);
    const double star_x =
        on_guider ? g.guider_xcent + g.guider_xcentdec / 10.0 : g.xcent + g.xcentdec / 10.0;
    const double star_y =
        on_guider ? g.guider_ycent + g.guider_ycentdec / 10.0 : g.ycent + g.ycentdec / 10.0;
    std::string text = "\nGuiding Begins at " +
                       stamp(p, static_cast<std::time_t>(l.start_calendar), "%Y-%m-%d %H:%M:%S") +
                       "\n";
    text += format("Pixel scale = %.2f arc-sec/px, Binning = 1, Focal length = %.0f mm\n", scale,
                   column_um * 1e-3 * kArcsecPerRadian / scale);
    text += format("Search region = %d px, Star mass tolerance = 75.0%%\n", g.cur_rad);
    text += "Equipment Profile = kvr_q4\n";
    text += on_guider
                ? format("Camera = guider head, full size = 500 x 290, %s, pixel size = %.1f um\n",
                         g.guider_darkframe_loaded ? "dark" : "no dark", kColumnPitchUm)
                : format("Camera = main camera, %s guide window, pixel size = %.1f um\n",
                         l.path == GuidePath::SelfGuide ? "self-guide" : "128 x 128", column_um);
    text += format("Exposure = %d ms\n", exposure_ms);
    text += mount_line(p, l.path);
    text += "Dec = Unknown, Hour angle = Unknown, Pier side = Unknown, Rotator pos = N/A\n";
    text += format("Lock position = %.3f, %.3f, Star position = %.3f, %.3f\n",
                   g.x1 + g.x1dec / 10.0, g.y1 + g.y1dec / 10.0, star_x, star_y);
    text += kFrameHeading;
    text += "\n";
    append(p, text);
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
        format("%d,%.3f,\"%s\",%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,", l.frame, seconds_in(l, f.at_ms),
               ao ? "AO" : "Mount", f.dx_px, f.dy_px, f.ra_px, f.dec_px, ra_sent ? f.ra_px : 0.0,
               dec_sent ? f.dec_px : 0.0);
    if (ao) {
        text += format(",,,,%d,%d,", f.x_steps, f.y_steps);
    } else {
        const char ra_dir[2] = {f.ra_ms > 0 ? f.ra_dir : '\0', '\0'};
        const char dec_dir[2] = {f.dec_ms > 0 ? f.dec_dir : '\0', '\0'};
        text += format("%d,%s,%d,%s,,,", f.ra_ms, ra_dir, f.dec_ms, dec_dir);
    }
    text += format("%.0f,%.2f,0\n", f.mass, f.snr);
    append(p, text);
}

void drop_frame(Program& p, const StarSignal& star, bool faint) {
    GuideLogState& l = p.guide_log;
    flush_line(p);
    write_header(p);
    l.frame += 1;
    append(p,
           format("%d,%.3f,\"DROP\",,,,,,,,,,,,,%.0f,%.2f,%d,\"%s\"\n", l.frame,
                  seconds_in(l, p.clock.ms()), star.flux, star.snr, faint ? kLowSnr : kMassChanged,
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
        append(p,
               "Guiding Ends at " + stamp(p, p.clock.calendar_time(), "%Y-%m-%d %H:%M:%S") + "\n");
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
    append(p, "INFO: " + std::string(text) + "\n");
}

}  // namespace kvr
