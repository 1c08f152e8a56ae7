#include "app/options.h"

#include <charconv>

namespace kvr {

std::string usage_text() {
    return "usage: kvr_q4 [--headless] [--camera sim|usb] [--virtual-clock] [--script FILE]\n"
           "              [--sim-seed N] [--show-progress] [--drives DIR]\n";
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
        if (a == "--headless") {
            o.headless = true;
        } else if (a == "--virtual-clock") {
            o.virtual_clock = true;
        } else if (a == "--show-progress") {
            o.show_progress = true;
        } else if (a == "--camera") {
            if (!value(v)) return std::nullopt;
            if (v != "sim" && v != "usb") {
                error = "--camera must be sim or usb";
                return std::nullopt;
            }
            o.camera = v;
        } else if (a == "--script") {
            if (!value(o.script_path)) return std::nullopt;
        } else if (a == "--drives") {
            if (!value(o.drive_root)) return std::nullopt;
        } else if (a == "--sim-seed") {
            if (!value(v)) return std::nullopt;
            auto r = std::from_chars(v.data(), v.data() + v.size(), o.sim_seed);
            if (r.ec != std::errc() || r.ptr != v.data() + v.size()) {
                error = "--sim-seed needs a whole number";
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
