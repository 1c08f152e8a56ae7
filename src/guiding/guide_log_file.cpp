#include "guiding/guide_log_file.h"

#include <filesystem>

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
// Width of a binned frame's column, µm (two sensor columns).
constexpr double kBinnedColumnUm = 2 * kColumnPitchUm;
constexpr double kArcsecPerRadian = 206264.8;

std::string stamp(const Program& p, std::time_t t, const char* format) {
    const std::tm local = program_local_time(p, t);
    char text[64];
    if (std::strftime(text, sizeof text, format, &local) == 0) return {};
    return text;
}

// The log file of this run of the program, with its first line, at its first section.
void open_file(Program& p) {
    GuideLogState& l = p.guide_log;
    if (!l.file.empty()) return;
    std::error_code ec;
    const std::string folder = host_path(p, kLogFolder);
    std::filesystem::create_directories(folder, ec);
    const auto started = static_cast<std::time_t>(l.start_calendar);
    l.file = folder + "/" + stamp(p, started, "PHD2_GuideLog_%Y-%m-%d_%H%M%S.txt");
    log_append(p, log_format("kvr_q4 version %s, PHD2 log version %s. Log enabled at %s\n",
                             kProgramVersion, kLogVersion, log_time(p, started).c_str()));
}

}  // namespace

std::string log_time(const Program& p, std::time_t t) {
    return stamp(p, t, "%Y-%m-%d %H:%M:%S");
}

void log_append(Program& p, const std::string& text) {
    GuideLogState& l = p.guide_log;
    if (l.file.empty()) return;
    std::FILE* f = std::fopen(l.file.c_str(), "a");
    const bool written = f && std::fputs(text.c_str(), f) >= 0;
    if (f && std::fclose(f) != 0) f = nullptr;
    if (written && f) return;
    p.host.diagnostic("Unable to write the guide log " + l.file);
    l.file.clear();
}

bool on_guider(GuidePath path) {
    return path == GuidePath::GuiderMount || path == GuidePath::GuiderAo;
}

const char* drive_name(const Program& p) {
    return p.scope.telescope == 'b' ? "guide-interface box" : "LX200 mount";
}

void write_section_header(Program& p, const SectionStart& start) {
    GuideLogState& l = p.guide_log;
    l.header_written = true;
    open_file(p);
    const GuideState& g = p.guide;
    const bool guider = on_guider(l.path);
    const double scale = plate_scale_in_use(p);
    const double column_um = guider || !p.readout.binned ? kColumnPitchUm : kBinnedColumnUm;
    const int exposure_ms = guider                           ? guider_exposure_ms(p)
                            : l.path == GuidePath::SelfGuide ? p.readout.selfguiding_exposure
                                                             : window_exposure_ms(p);
    std::string text = std::string("\n") + start.begins +
                       log_time(p, static_cast<std::time_t>(l.start_calendar)) + "\n";
    text += log_format("Pixel scale = %.2f arc-sec/px, Binning = 1, Focal length = %.0f mm\n",
                       scale, column_um * 1e-3 * kArcsecPerRadian / scale);
    text += log_format("Search region = %d px, Star mass tolerance = 75.0%%\n", g.cur_rad);
    text += "Equipment Profile = kvr_q4\n";
    text +=
        guider
            ? log_format("Camera = guider head, full size = 500 x 290, %s, pixel size = %.1f um\n",
                         g.guider_darkframe_loaded ? "dark" : "no dark", kColumnPitchUm)
            : log_format("Camera = main camera, %s guide window, pixel size = %.1f um\n",
                         l.path == GuidePath::SelfGuide ? "self-guide" : "128 x 128", column_um);
    text += log_format("Exposure = %d ms\n", exposure_ms);
    text += start.mount;
    text += "Dec = Unknown, Hour angle = Unknown, Pier side = Unknown, Rotator pos = N/A\n";
    text += log_format("Lock position = %.3f, %.3f, Star position = %.3f, %.3f\n", start.lock_x,
                       start.lock_y, start.star_x, start.star_y);
    text += start.heading;
    text += "\n";
    log_append(p, text);
}

}  // namespace kvr
