#pragma once
// Command-line options shared by both front ends.
#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

// A transfer fault of the simulated camera (--sim-fault KIND@READ[:MS]): kind "short",
// "timeout", "stall" or "unplug", on the main head's READth read (from 1); an unplugged camera
// comes back after MS milliseconds.
struct SimCameraFault {
    std::string kind;
    uint32_t main_read = 0;
    uint32_t unplugged_ms = 5000;
};

// Settings of the simulated observatory around the camera. Unset numbers keep the simulator's
// defaults.
struct SimOptions {
    std::string log_path;        // --sim-log FILE
    std::string mount_pty_path;  // --sim-mount-pty PATH
    std::string ao_pty_path;     // --sim-ao-pty PATH
    // Camera serial ports 1 and 2: a device path (--sim-serial N=PATH) or what is plugged in
    // (--sim-port N=mount|wheel|ao|none); empty keeps the default.
    std::array<std::string, 2> serial_paths;
    std::array<std::string, 2> port_devices;
    std::string relays;  // --sim-relays mount|ao
    // --sim-lx200-strict: the simulated mount answers late, takes only the co-ordinate precision
    // it is set to, writes the degree byte 0xDF and may leave :LI# unanswered.
    bool lx200_strict = false;
    bool atmosphere = true;
    std::optional<double> seeing_arcsec;
    std::optional<double> plate_scale_arcsec_per_px;
    std::optional<double> rotation_deg;
    std::optional<double> latitude_deg;
    std::optional<double> longitude_deg;
    std::optional<double> start_dec_deg;
    std::optional<double> periodic_error_pp_arcsec;
    std::optional<double> worm_period_s;
    std::optional<double> drift_dec_arcsec_per_min;
    std::optional<double> dec_backlash_arcsec;
    // Passing cloud: minutes between clouds, how long one lasts (s), the share of light the
    // thickest takes (0 … 1).
    std::optional<double> cloud_interval_min;
    std::optional<double> cloud_duration_s;
    std::optional<double> cloud_depth;
    std::vector<SimCameraFault> camera_faults;
};

struct LaunchOptions {
    bool headless = false;
    std::string camera = "sim";  // "sim" or "usb"
    bool virtual_clock = false;
    std::string script_path;  // empty: standard input
    uint32_t sim_seed = 1;
    // Simulated camera: milliseconds to send one full-width field (a real camera takes about
    // 3 s), and the unguided drift of the sky across its sensors, pixels per second.
    uint32_t sim_download_ms = 2900;
    double sim_drift_x_px_per_s = 0;
    double sim_drift_y_px_per_s = 0;
    // Calendar time at which the virtual clock (or the real clock's calendar) starts.
    std::optional<std::time_t> clock_start;
    SimOptions sim;
    bool show_progress = false;
    // Headless: a numbered message box during the script makes the exit status non-zero.
    bool strict_messages = false;
    std::string drive_root;  // empty: the default drive root
};

// Parses argv; on error returns nullopt and sets `error`.
std::optional<LaunchOptions> parse_options(const std::vector<std::string>& args,
                                           std::string& error);
std::string usage_text();

// One simulator option at args[i] (moving i past its value): 1 taken, 0 refused with `error`,
// -1 not a simulator option.
int parse_sim_option(const std::vector<std::string>& args, size_t& i, SimOptions& sim,
                     std::string& error);
// "YYYY-MM-DDTHH:MM:SSZ" (the Z may be left out; always UTC) as seconds since 1970.
std::optional<std::time_t> parse_utc_time(const std::string& text);

}  // namespace kvr
