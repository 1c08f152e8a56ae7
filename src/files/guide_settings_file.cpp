#include "files/guide_settings_file.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/program.h"
#include "files/file_io.h"
#include "files/file_replacement.h"

namespace kvr {

namespace {

constexpr size_t kMostBytes = 2048;

// The calibration's names: each is kept as written, precise to nine figures.
constexpr const char* kCalibrationNames[] = {
#define KVR_CALIBRATION_NAME(type, name, init) #name,
    KVR_CALIBRATION_STATE(KVR_CALIBRATION_NAME, , , )
#undef KVR_CALIBRATION_NAME
};

// The dithering settings, kept as written.
constexpr const char* kDitherNames[] = {
#define KVR_DITHER_NAME(type, name, init) #name,
    KVR_DITHER_SETTINGS(KVR_DITHER_NAME, , , )
#undef KVR_DITHER_NAME
};

// One "NAME VALUE" line; false when the name is not one of the graph's or the value unusable.
bool apply_line(Program& p, std::string_view line) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    const std::string_view name = line.substr(0, space);
    const std::string_view value = line.substr(space + 1);
    if (name == "guide_plate_scale") {
        const double kept = p.graph.guide_plate_scale;
        if (p.registry.set(name, value) != SetResult::Ok) return false;
        if (plate_scale_usable(p.graph.guide_plate_scale)) return true;
        p.graph.guide_plate_scale = kept;
        return false;
    }
    bool known = name == "guide_graph_minutes" || name == "guider_aggressiveness" ||
                 name == "AOUnit_bump_compensate";
    for (const char* calibration : kCalibrationNames) known = known || name == calibration;
    for (const char* dither : kDitherNames) known = known || name == dither;
    return known && p.registry.set(name, value) == SetResult::Ok;
}

}  // namespace

bool load_guide_settings(Program& p) {
    uint8_t bytes[kMostBytes];
    size_t got = 0;
    const ReadStatus status = read_file(host_path(p, kGuideSettingsFile), bytes, sizeof bytes, got);
    if (status == ReadStatus::Missing) return true;
    if (status != ReadStatus::Ok) return false;
    std::string_view rest(reinterpret_cast<const char*>(bytes), got);
    bool all_used = true;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && !apply_line(p, line)) all_used = false;
    }
    return all_used;
}

int save_guide_settings(const Program& p) {
    char text[kMostBytes];
    int n = std::snprintf(text, sizeof text,
                          "guide_plate_scale %.4f\nguide_graph_minutes %d\nguider_aggressiveness "
                          "%d\nAOUnit_bump_compensate %d\n",
                          p.graph.guide_plate_scale, p.graph.guide_graph_minutes,
                          p.guide.guider_aggressiveness, p.scope.AOUnit_bump_compensate);
    const auto put = [&](const char* name, double value) {
        n +=
            std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%s %.9g\n", name, value);
    };
    const CalibrationState& c = p.calib;
    const DitherSettings& d = p.dither;
#define KVR_CALIBRATION_LINE(type, name, init) put(#name, static_cast<double>(c.name));
#define KVR_DITHER_LINE(type, name, init) put(#name, static_cast<double>(d.name));
    KVR_CALIBRATION_STATE(KVR_CALIBRATION_LINE, , , )
    KVR_DITHER_SETTINGS(KVR_DITHER_LINE, , , )
#undef KVR_DITHER_LINE
#undef KVR_CALIBRATION_LINE
    std::error_code ec;
    std::filesystem::create_directory(host_path(p, file_folder(kGuideSettingsFile)), ec);
    return replace_file(host_path(p, kGuideSettingsFile), reinterpret_cast<const uint8_t*>(text),
                        static_cast<size_t>(n))
               ? 0
               : 3;
}

}  // namespace kvr
