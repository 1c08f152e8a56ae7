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
          {"--sim-drift", "0,inf"}}) {
        std::string error;
        EXPECT_FALSE(parse_options(args, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace kvr::sim::test
