#pragma once
// Settings of the simulated observatory, with the values a night at a modest suburban site gives.
//
// Units: brightness is counted in ADU of the main camera's 16-bit converter. The simulated main
// sensor has a gain of one electron per ADU, so the shot noise of a signal of N ADU is sqrt(N).
// Positions on the sky are "sky pixels", square and one column pitch (8.6 µm on the focal plane)
// each way: x along a row, y down the frame. The main sensor's 8.3 µm rows are kMainRowSkyPx of
// them tall, so its 580 rows (both fields together) span 560. Times are milliseconds of the shared
// clock.
#include <cstdint>
#include <vector>

#include "camera/camera_protocol.h"

namespace kvr::sim {

// Sky height of a main-sensor row and of a guider row (two sensor rows), in sky pixels.
inline constexpr double kMainRowSkyPx = kSensorRowPitchUm / kColumnPitchUm;
inline constexpr double kGuiderRowSkyPx = kFieldRowPitchUm / kColumnPitchUm;

// The deterministic star field. The sky repeats with period `tile_px` both ways, so a drifting
// mount never runs out of stars.
struct StarFieldConfig {
    double tile_px = 2048.0;
    // Mean number of stars per million square sky pixels (about 300 on the main sensor).
    double stars_per_megapixel = 700.0;
    // Total flux of the brightest star of the random field, ADU per second over the whole PSF.
    double brightest_flux_adu_per_s = 1.5e6;
    // The faintest star is this many magnitudes below the brightest.
    double magnitude_range = 10.0;
    // log10 of the number of stars per magnitude grows by this much per magnitude (the slope of
    // galactic star counts at moderate latitude).
    double count_slope_per_mag = 0.33;
};

// What the atmosphere and the telescope do to every star, seen by both heads alike.
struct ObservingConditions {
    // Full width at half maximum of a star from seeing alone, in sky pixels.
    double seeing_fwhm_px = 2.6;
    // Extra blur from being out of focus, added in quadrature (sky pixels, FWHM).
    double defocus_fwhm_px = 0.0;
    // Sky background on one main-sensor pixel, ADU per second.
    double sky_adu_per_s = 12.0;
};

// Fixed pattern and converter of one sensor head, in that head's output counts.
struct SensorConfig {
    double bias_counts = 400.0;
    double read_noise_counts = 6.0;
    // Charge (ADU of the main converter) per output count: 1 on the main head; the guider's
    // 8-bit converter needs many per count.
    double charge_per_count = 1.0;
    double full_scale_counts = 65535.0;
    // Mean dark current per pixel (charge ADU per second) and its relative spread across pixels.
    double dark_adu_per_s = 0.3;
    double dark_spread = 0.3;
    // Share of pixels that are hot, with dark currents spread evenly in log between these rates.
    double hot_pixel_fraction = 3e-4;
    double hot_pixel_min_adu_per_s = 5.0;
    double hot_pixel_max_adu_per_s = 800.0;
    // Light lost towards the corners (0.08: 8 % less at the far corner) and the pixel-to-pixel
    // sensitivity spread.
    double vignetting = 0.08;
    double response_spread = 0.01;
};

// Where the guider head looks: its pixel (gx, gy) covers sky pixels
// [origin_x + gx·scale_x, +scale_x) × [origin_y + gy·scale_y, +scale_y). The default sits beside
// the main sensor as an off-axis guider does; its rows are two sensor rows tall because the head
// reads both fields of its interlaced sensor as one 290-row frame.
struct GuiderGeometry {
    double origin_x = 880.0;
    double origin_y = 0.0;
    double scale_x = 1.0;
    double scale_y = kGuiderRowSkyPx;
    // Share of the light the guider's pick-off prism passes.
    double throughput = 0.5;
};

inline SensorConfig default_guider_sensor() {
    SensorConfig s;
    s.bias_counts = 6.0;
    s.read_noise_counts = 0.8;
    s.charge_per_count = 64.0;
    s.full_scale_counts = 255.0;
    s.dark_adu_per_s = 2.0;
    s.hot_pixel_fraction = 1e-3;
    s.hot_pixel_min_adu_per_s = 200.0;
    s.hot_pixel_max_adu_per_s = 20000.0;
    s.vignetting = 0.04;
    s.response_spread = 0.02;
    return s;
}

// A transfer fault the camera commits on one read of its main head, half-way through the pixel
// block: the block stops short (EIO), the data stops and the read times out (ETIMEDOUT), the
// endpoint stalls (EPIPE), or the camera is unplugged (ENODEV) and comes back as a new device
// after `unplugged_ms`. Reads are counted from 1 over every read command of the main head.
enum class CameraFaultKind { ShortBlock, Timeout, Stall, Unplug };

struct CameraFault {
    CameraFaultKind kind = CameraFaultKind::ShortBlock;
    uint32_t main_read = 0;
    uint32_t unplugged_ms = 5000;
};

// Behaviour of the camera as a device that may change while it runs.
struct CameraBehaviour {
    // Photon noise, read noise: off gives the expected value of every pixel, for exact tests.
    bool noise = true;
    // Time to send one full-width field (752 × 290 pixels); other reads take time in proportion
    // to the pixels they send.
    uint32_t download_ms_per_field = 2900;
    // Longest a read waits for its reply before it gives up with ETIMEDOUT.
    uint32_t transfer_timeout_ms = 75000;
    // Share of light the filter in front of the main head passes.
    double filter_throughput = 1.0;
    std::vector<CameraFault> faults;
};

struct CameraConfig {
    uint32_t seed = 1;
    StarFieldConfig star_field;
    ObservingConditions conditions;
    SensorConfig main_sensor;
    SensorConfig guider_sensor = default_guider_sensor();
    GuiderGeometry guider;
    CameraBehaviour behaviour;
    // Unguided tracking error: the whole sky moves across both sensors at this rate, main-sensor
    // pixels per second.
    double drift_x_px_per_s = 0.0;
    double drift_y_px_per_s = 0.0;
};

}  // namespace kvr::sim
