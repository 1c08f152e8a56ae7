#pragma once
// Settings of the simulated observatory around the camera: the mount and its site, the optics
// that map the sky onto the sensors, the accessories on the camera's ports and the atmosphere.
//
// Angles on the sky are arcseconds. Right ascension is counted as an angle too (one hour is
// 54000″), so a rate of the RA axis and a rate of the declination axis are both arcseconds of
// axis turn per second; an RA turn moves the image by that much times cos δ.
#include <array>
#include <cstdint>
#include <string>

#include "sim/sim_config.h"

namespace kvr::sim {

// The sidereal rate: arcseconds of axis turn per second that cancel the Earth's rotation.
inline constexpr double kSiderealArcsecPerS = 15.041067;

struct MountConfig {
    // Site: latitude north positive, longitude east positive, degrees.
    double latitude_deg = 52.0;
    double longitude_deg = -1.0;
    // Where the mount points when the observatory starts: this declination, on the meridian.
    double start_dec_deg = 0.0;
    // Periodic error of the RA worm: peak-to-peak arcseconds of axis turn over one worm period,
    // made of a fundamental and a few harmonics.
    double periodic_error_pp_arcsec = 10.0;
    double worm_period_s = 480.0;
    // Drift from polar misalignment, arcseconds per minute (declination; a little in RA).
    double drift_dec_arcsec_per_min = 3.0;
    double drift_ra_arcsec_per_min = 0.5;
    // Play of the declination gears: a reversal turns the motor this far before the optics move.
    double dec_backlash_arcsec = 5.0;
    // Rates: guide and centre as multiples of the sidereal rate, find and slew in degrees per
    // second (a go-to slews both axes at the slew rate).
    double guide_rate_sidereal = 0.5;
    double centre_rate_sidereal = 16.0;
    double find_deg_per_s = 0.5;
    double slew_deg_per_s = 4.0;
    // A go-to to an object lower than this altitude (degrees) is refused.
    double horizon_deg = 0.0;
    // A mount bump ('M' through the AO unit) lasts this long per count, at the guide rate.
    double bump_ms_per_count = 10.0;
    // Focuser: position in steps (0 … focuser_max_steps), the position of best focus, where it
    // starts, its fast and slow speeds, and the blur (FWHM, sky pixels) per step from best.
    int focuser_max_steps = 10000;
    int focuser_best_steps = 5000;
    int focuser_start_steps = 5000;
    double focuser_fast_steps_per_s = 400.0;
    double focuser_slow_steps_per_s = 40.0;
    double defocus_px_per_step = 0.004;
};

// How the sky is laid onto the sensors: arcseconds per sky pixel (the width of a column of either
// head) and the angle of the camera (0: north up, east left, so a mount moving north moves the
// stars down the frame). The scale stands for one focal length (1.8″ on 8.6 µm: 985 mm); the
// rows' scales follow from their pitches (a main-sensor row 1.74″, a guider row 3.47″).
struct OpticsConfig {
    double plate_scale_arcsec_per_px = 1.8;
    double rotation_deg = 0.0;
};

// The tip-tilt element of the AO unit: steps from centre it can travel each way, the image
// shift per step, and how fast it moves while a parallel-mode line is held low.
struct AoConfig {
    int travel_steps = 90;
    double step_arcsec = 0.3;
    double parallel_steps_per_s = 50.0;
};

struct FilterWheelConfig {
    // Time to turn by one slot, ms; the light is blocked while the wheel turns.
    double ms_per_slot = 800.0;
    int start_slot = 1;
    // Share of light each slot passes (slot 1 first): empty, luminance, red, green, blue,
    // H-alpha, OIII, opaque.
    std::array<double, 8> transmission = {1.0, 0.95, 0.30, 0.32, 0.25, 0.04, 0.05, 0.0};
};

// The atmosphere. All of it is switched off by `enabled` = false for exact tests.
struct AtmosphereConfig {
    bool enabled = true;
    // Image motion: rms arcseconds of the tip-tilt averaged over a 1 s exposure (it falls as
    // exposures lengthen) and its correlation time, s. The two heads look through different
    // air, so they share only part of the motion.
    double motion_rms_arcsec_1s = 0.35;
    double motion_correlation_s = 0.3;
    double motion_shared_fraction = 0.5;
    // Seeing varies from frame to frame by this relative rms around its setting.
    double seeing_variation = 0.1;
    // Scintillation: relative rms of a star's flux over a 1 s exposure.
    double scintillation_1s = 0.03;
    // Thin cloud: average minutes between passing clouds, how long one takes, and the share of
    // light the thickest part takes away.
    double cloud_interval_min = 20.0;
    double cloud_duration_s = 90.0;
    double cloud_depth = 0.4;
    // Cosmic-ray hits per square centimetre per minute (on 8.6 × 8.3 µm pixels) and the charge
    // one leaves, ADU.
    double cosmic_rays_per_cm2_min = 1.5;
    double cosmic_ray_adu = 3000.0;
    // Brightness of the sky rises across the main sensor by this share from one side to the
    // other (light pollution towards the horizon).
    double sky_gradient = 0.1;
};

// What is plugged into each camera serial port (index 0 is the program's "1", index 1 its "2").
enum class PortDevice { kNone, kMount, kFilterWheel, kAoUnit, kExternal };
// What the camera's relay outputs are wired to.
enum class RelayDevice { kMount, kAoUnit };

struct ObservatoryConfig {
    CameraConfig camera;
    MountConfig mount;
    OpticsConfig optics;
    AoConfig ao;
    FilterWheelConfig wheel;
    AtmosphereConfig atmosphere;
    std::array<PortDevice, 2> ports = {PortDevice::kMount, PortDevice::kFilterWheel};
    // Device paths of ports wired to kExternal.
    std::array<std::string, 2> external_paths;
    RelayDevice relays = RelayDevice::kMount;
    // The mount's LX200 sessions behave as a strict hand controller (see Lx200Session).
    bool lx200_strict = false;
    // Optional: a pseudo-terminal link serving the mount, one serving the AO unit (as a PC port),
    // and the event log.
    std::string mount_pty_path;
    std::string ao_pty_path;
    std::string log_path;
};

}  // namespace kvr::sim
