// The command line's simulator options reach the simulated camera.
#include "sim/sim_launch.h"

#include "core/options.h"
#include "sim_rig.h"

namespace kvr::sim::test {
namespace {

TEST(SimLaunch, OptionsSetSeedDownloadTimeAndDrift) {
    std::string error;
    const auto defaults = parse_options({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->sim_download_ms, 2900u);
    EXPECT_EQ(defaults->sim_drift_x_px_per_s, 0.0);

    const auto o = parse_options(
        {"--sim-seed", "42", "--sim-download-ms", "0", "--sim-drift", "0.5,-0.25"}, error);
    ASSERT_TRUE(o) << error;
    const CameraConfig c = camera_config(*o);
    EXPECT_EQ(c.seed, 42u);
    EXPECT_EQ(c.behaviour.download_ms_per_field, 0u);
    EXPECT_EQ(c.drift_x_px_per_s, 0.5);
    EXPECT_EQ(c.drift_y_px_per_s, -0.25);

    VirtualClock clock;
    auto bus = make_camera_enumerator(*o, clock);
    EXPECT_EQ(bus->camera().sky().drift_y_px_per_s(), -0.25);
    EXPECT_EQ(bus->camera().behaviour().download_ms_per_field, 0u);
}

TEST(SimLaunch, MalformedSimulatorOptionsAreRefused) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--sim-download-ms", "-3"},
          {"--sim-download-ms", "2s"},
          {"--sim-download-ms"},
          {"--sim-drift", "0.5"},
          {"--sim-drift", "a,b"},
          {"--sim-drift", "1,2,3"},
          {"--sim-drift", ",1"},
          {"--sim-drift", "nan,0"},
          {"--sim-drift", "0,inf"},
          {"--clock-start", "2026-12-07 22:00"},
          {"--clock-start", "2026-02-30T00:00:00Z"},
          {"--sim-serial", "3=/dev/ttyS0"},
          {"--sim-serial", "1="},
          {"--sim-port", "2=camera"},
          {"--sim-relays", "box"},
          {"--sim-atmosphere", "maybe"},
          {"--sim-site", "95,0"},
          {"--sim-plate-scale", "0"},
          {"--sim-backlash", "-1"},
          {"--sim-seeing"}}) {
        std::string error;
        EXPECT_FALSE(parse_options(args, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(SimLaunch, ObservatoryOptionsReachTheirSettings) {
    std::string error;
    const auto o = parse_options({"--clock-start",
                                  "2026-12-07T22:00:00Z",
                                  "--sim-log",
                                  "/tmp/x.csv",
                                  "--sim-serial",
                                  "2=/dev/ttyUSB1",
                                  "--sim-port",
                                  "1=ao",
                                  "--sim-relays",
                                  "ao",
                                  "--sim-atmosphere",
                                  "off",
                                  "--sim-seeing",
                                  "3.6",
                                  "--sim-plate-scale",
                                  "1.2",
                                  "--sim-rotation",
                                  "90",
                                  "--sim-site",
                                  "-33.5,151.2",
                                  "--sim-periodic-error",
                                  "20",
                                  "--sim-polar-drift",
                                  "-1.5",
                                  "--sim-backlash",
                                  "12",
                                  "--sim-mount-pty",
                                  "/tmp/mount"},
                                 error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->clock_start, 1796680800);
    const ObservatoryConfig c = observatory_config(*o);
    EXPECT_EQ(c.log_path, "/tmp/x.csv");
    EXPECT_EQ(c.ports[0], PortDevice::kAoUnit);
    EXPECT_EQ(c.ports[1], PortDevice::kExternal);
    EXPECT_EQ(c.external_paths[1], "/dev/ttyUSB1");
    EXPECT_EQ(c.relays, RelayDevice::kAoUnit);
    EXPECT_FALSE(c.atmosphere.enabled);
    EXPECT_DOUBLE_EQ(c.camera.conditions.seeing_fwhm_px, 3.0);
    EXPECT_EQ(c.optics.rotation_deg, 90);
    EXPECT_EQ(c.mount.latitude_deg, -33.5);
    EXPECT_EQ(c.mount.longitude_deg, 151.2);
    EXPECT_EQ(c.mount.periodic_error_pp_arcsec, 20);
    EXPECT_EQ(c.mount.drift_dec_arcsec_per_min, -1.5);
    EXPECT_EQ(c.mount.dec_backlash_arcsec, 12);
    EXPECT_EQ(c.mount_pty_path, "/tmp/mount");
}

}  // namespace
}  // namespace kvr::sim::test
