// The simulated observatory's command-line options.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/options.h"

namespace kvr {

namespace {

// A finite number filling the whole text.
bool parse_number(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

struct NumberOption {
    const char* name;
    double low;
    double high;
    const char* meaning;
    std::optional<double> SimOptions::*field;
};

constexpr NumberOption kNumberOptions[] = {
    {"--sim-seeing", 0.3, 20, "seeing FWHM in arcseconds", &SimOptions::seeing_arcsec},
    {"--sim-plate-scale", 0.05, 60, "arcseconds per pixel", &SimOptions::plate_scale_arcsec_per_px},
    {"--sim-rotation", -360, 360, "camera angle in degrees", &SimOptions::rotation_deg},
    {"--sim-start-dec", -89, 89, "declination in degrees", &SimOptions::start_dec_deg},
    {"--sim-periodic-error", 0, 300, "peak-to-peak arcseconds",
     &SimOptions::periodic_error_pp_arcsec},
    {"--sim-worm-period", 10, 3600, "seconds", &SimOptions::worm_period_s},
    {"--sim-polar-drift", -600, 600, "arcseconds per minute in declination",
     &SimOptions::drift_dec_arcsec_per_min},
    {"--sim-backlash", 0, 600, "arcseconds", &SimOptions::dec_backlash_arcsec},
    {"--sim-cloud-interval", 0.5, 1440, "minutes between clouds", &SimOptions::cloud_interval_min},
    {"--sim-cloud-duration", 1, 86400, "seconds", &SimOptions::cloud_duration_s},
    {"--sim-cloud-depth", 0, 1, "share of light taken", &SimOptions::cloud_depth},
};

// "N=VALUE" with N 1 or 2.
bool port_and_value(const std::string& text, size_t& port, std::string& value) {
    if (text.size() < 3 || (text[0] != '1' && text[0] != '2') || text[1] != '=') return false;
    port = static_cast<size_t>(text[0] - '1');
    value = text.substr(2);
    return true;
}

// "KIND@READ[:MS]".
bool parse_camera_fault(const std::string& text, SimCameraFault& fault) {
    const size_t at = text.find('@');
    if (at == std::string::npos) return false;
    fault.kind = text.substr(0, at);
    if (fault.kind != "short" && fault.kind != "timeout" && fault.kind != "stall" &&
        fault.kind != "unplug")
        return false;
    unsigned read = 0, ms = fault.unplugged_ms;
    int used = 0;
    const std::string rest = text.substr(at + 1);
    const int n = std::sscanf(rest.c_str(), "%6u%n:%7u%n", &read, &used, &ms, &used);
    if (n < 1 || static_cast<size_t>(used) != rest.size() || read == 0) return false;
    fault.main_read = read;
    fault.unplugged_ms = ms;
    return true;
}

}  // namespace

std::optional<std::time_t> parse_utc_time(const std::string& text) {
    int y, mo, d, h, mi, s;
    char z = 'Z';
    int used = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &y, &mo, &d, &h, &mi, &s,
                              &z, &used);
    const bool whole = (n == 6 && text.size() == 19) ||
                       (n == 7 && z == 'Z' && static_cast<size_t>(used) == text.size());
    if (!whole || y < 1970 || y > 2200 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 ||
        mi > 59 || s > 59) {
        return std::nullopt;
    }
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    const std::time_t seconds = timegm(&t);
    // timegm moves an impossible day (31 April) on: refuse it.
    std::tm back{};
    gmtime_r(&seconds, &back);
    if (back.tm_mday != d || back.tm_mon != mo - 1) return std::nullopt;
    return seconds;
}

int parse_sim_option(const std::vector<std::string>& args, size_t& i, SimOptions& sim,
                     std::string& error) {
    const std::string& a = args[i];
    if (a == "--sim-lx200-strict") {
        sim.lx200_strict = true;
        return 1;
    }
    const bool known = a == "--sim-log" || a == "--sim-mount-pty" || a == "--sim-ao-pty" ||
                       a == "--sim-serial" || a == "--sim-port" || a == "--sim-relays" ||
                       a == "--sim-atmosphere" || a == "--sim-site" || a == "--sim-fault" ||
                       std::any_of(std::begin(kNumberOptions), std::end(kNumberOptions),
                                   [&](const NumberOption& o) { return a == o.name; });
    if (!known) return -1;
    if (i + 1 >= args.size()) {
        error = "option " + a + " needs a value";
        return 0;
    }
    const std::string& v = args[++i];
    auto refuse = [&](const std::string& text) {
        error = a + " needs " + text;
        return 0;
    };
    size_t port = 0;
    std::string value;
    if (a == "--sim-log") {
        sim.log_path = v;
    } else if (a == "--sim-mount-pty") {
        sim.mount_pty_path = v;
    } else if (a == "--sim-ao-pty") {
        sim.ao_pty_path = v;
    } else if (a == "--sim-serial") {
        if (!port_and_value(v, port, value) || value.empty()) return refuse("N=PATH with N 1 or 2");
        sim.serial_paths[port] = value;
    } else if (a == "--sim-port") {
        if (!port_and_value(v, port, value) ||
            (value != "mount" && value != "wheel" && value != "ao" && value != "none")) {
            return refuse("N=mount, N=wheel, N=ao or N=none with N 1 or 2");
        }
        sim.port_devices[port] = value;
    } else if (a == "--sim-relays") {
        if (v != "mount" && v != "ao") return refuse("mount or ao");
        sim.relays = v;
    } else if (a == "--sim-atmosphere") {
        if (v != "on" && v != "off") return refuse("on or off");
        sim.atmosphere = v == "on";
    } else if (a == "--sim-fault") {
        SimCameraFault fault;
        if (!parse_camera_fault(v, fault))
            return refuse("KIND@READ[:MS] with KIND short, timeout, stall or unplug, READ from 1");
        sim.camera_faults.push_back(fault);
    } else if (a == "--sim-site") {
        const size_t comma = v.find(',');
        double lat = 0, lon = 0;
        if (comma == std::string::npos || !parse_number(v.substr(0, comma), lat) ||
            !parse_number(v.substr(comma + 1), lon) || std::fabs(lat) > 90 ||
            std::fabs(lon) > 180) {
            return refuse("LAT,LON in degrees (north and east positive)");
        }
        sim.latitude_deg = lat;
        sim.longitude_deg = lon;
    } else {
        for (const NumberOption& o : kNumberOptions) {
            if (a != o.name) continue;
            double number = 0;
            if (!parse_number(v, number) || number < o.low || number > o.high) {
                char text[160];
                std::snprintf(text, sizeof text, "a number from %g to %g (%s)", o.low, o.high,
                              o.meaning);
                return refuse(text);
            }
            sim.*o.field = number;
        }
    }
    return 1;
}

}  // namespace kvr
