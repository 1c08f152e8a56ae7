#include "core/options.h"

#include <charconv>
#include <cmath>

namespace kvr {

namespace {

// The whole of `text` as a number; false when anything else is in it.
template <typename Number>
bool parse_whole(const std::string& text, Number& out) {
    auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace

std::string usage_text() {
    return "usage: kvr_q4 [--headless] [--camera sim|usb] [--virtual-clock] [--script FILE]\n"
           "              [--sim-seed N] [--sim-download-ms MS] [--sim-drift DX,DY]\n"
           "              [--clock-start YYYY-MM-DDTHH:MM:SSZ] [--sim-log FILE]\n"
           "              [--sim-serial N=PATH] [--sim-port N=mount|wheel|ao|none]\n"
           "              [--sim-relays mount|ao] [--sim-mount-pty PATH] [--sim-ao-pty PATH]\n"
           "              [--sim-lx200-strict]\n"
           "              [--sim-atmosphere on|off] [--sim-seeing ARCSEC]\n"
           "              [--sim-plate-scale ARCSEC] [--sim-rotation DEG] [--sim-site LAT,LON]\n"
           "              [--sim-start-dec DEG] [--sim-periodic-error ARCSEC]\n"
           "              [--sim-worm-period S] [--sim-polar-drift ARCSEC_PER_MIN]\n"
           "              [--sim-backlash ARCSEC] [--sim-fault KIND@READ[:MS]]\n"
           "              [--sim-cloud-interval MIN] [--sim-cloud-duration S]\n"
           "              [--sim-cloud-depth SHARE]\n"
           "              [--show-progress] [--drives DIR]\n"
           "              [--strict-messages]\n";
}

std::optional<LaunchOptions> parse_options(const std::vector<std::string>& args,
                                           std::string& error) {
    LaunchOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        const int sim = parse_sim_option(args, i, o.sim, error);
        if (sim == 0) return std::nullopt;
        if (sim == 1) continue;
        if (a == "--headless") {
            o.headless = true;
        } else if (a == "--virtual-clock") {
            o.virtual_clock = true;
        } else if (a == "--show-progress") {
            o.show_progress = true;
        } else if (a == "--strict-messages") {
            o.strict_messages = true;
        } else if (a == "--camera") {
            if (!value(v)) return std::nullopt;
            if (v != "sim" && v != "usb") {
                error = "--camera must be sim or usb";
                return std::nullopt;
            }
            o.camera = v;
        } else if (a == "--script") {
            if (!value(o.script_path)) return std::nullopt;
        } else if (a == "--clock-start") {
            if (!value(v)) return std::nullopt;
            o.clock_start = parse_utc_time(v);
            if (!o.clock_start) {
                error = "--clock-start needs a UTC time such as 2026-12-07T22:00:00Z";
                return std::nullopt;
            }
        } else if (a == "--drives") {
            if (!value(o.drive_root)) return std::nullopt;
        } else if (a == "--sim-seed") {
            if (!value(v)) return std::nullopt;
            if (!parse_whole(v, o.sim_seed)) {
                error = "--sim-seed needs a whole number";
                return std::nullopt;
            }
        } else if (a == "--sim-download-ms") {
            if (!value(v)) return std::nullopt;
            if (!parse_whole(v, o.sim_download_ms)) {
                error = "--sim-download-ms needs a whole number of milliseconds";
                return std::nullopt;
            }
        } else if (a == "--sim-drift") {
            if (!value(v)) return std::nullopt;
            const size_t comma = v.find(',');
            if (comma == std::string::npos ||
                !parse_whole(v.substr(0, comma), o.sim_drift_x_px_per_s) ||
                !parse_whole(v.substr(comma + 1), o.sim_drift_y_px_per_s) ||
                !std::isfinite(o.sim_drift_x_px_per_s) || !std::isfinite(o.sim_drift_y_px_per_s)) {
                error = "--sim-drift needs two numbers, DX,DY in pixels per second";
                return std::nullopt;
            }
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    return o;
}

}  // namespace kvr
