#pragma once
// Command-line options shared by both front ends.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

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
    bool show_progress = false;
    std::string drive_root;  // empty: the default drive root
};

// Parses argv; on error returns nullopt and sets `error`.
std::optional<LaunchOptions> parse_options(const std::vector<std::string>& args,
                                           std::string& error);
std::string usage_text();

}  // namespace kvr
