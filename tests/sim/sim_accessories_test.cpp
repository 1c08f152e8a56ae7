// The AO unit, the filter wheel, the focuser, a real serial line on a camera port and the
// atmosphere of the simulated observatory, driven as the program drives them.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cmath>
#include <numeric>

#include "observatory_rig.h"
#include "sim/filter_wheel.h"

namespace kvr::sim::test {
namespace {

void ao_everywhere(ObservatoryConfig& c) {
    exact_mount(c);
    c.ports[1] = PortDevice::kAoUnit;
    c.relays = RelayDevice::kAoUnit;
}

TEST(SimAccessories, AoUnitTiltsBothHeadsAndPassesBumpsToTheMount) {
    ObservatoryRig rig(ao_everywhere);
    const double step_px = rig.config.ao.step_arcsec / rig.config.optics.plate_scale_arcsec_per_px;
    const double guide_px = 0.5 * kSiderealArcsecPerS / rig.config.optics.plate_scale_arcsec_per_px;
    auto main = [&] { return rig.camera().main_sensor_stars(rig.now()); };
    auto guider = [&] { return rig.camera().guider_stars(rig.now()); };
    const auto main0 = main(), guider0 = guider();
    double dx, dy;

    // Serial route (camera port 2): 25 steps north, then 40 east in two commands.
    rig.write("GN00025", 1);
    rig.write("GT00030GT00010", 1);
    mean_shift(main0, main(), dx, dy);
    EXPECT_NEAR(dx, 40 * step_px, 1e-6);
    EXPECT_NEAR(dy, 25 * step_px * kMainRowsPerSkyPx, 1e-6);
    mean_shift(guider0, guider(), dx, dy);
    EXPECT_NEAR(dy, 25 * step_px * kGuiderRowsPerSkyPx, 1e-6);
    // The element stops at its travel; 'K' centres it.
    rig.write("GS00200", 1);
    mean_shift(main0, main(), dx, dy);
    EXPECT_NEAR(dy, -90 * step_px * kMainRowsPerSkyPx, 1e-6);
    rig.write("K", 1);
    mean_shift(main0, main(), dx, dy);
    EXPECT_NEAR(std::hypot(dx, dy), 0.0, 1e-6);

    // A bump of 50 counts east runs the mount at the guide rate for 500 ms.
    rig.write("MT00050", 1);
    rig.clock.advance(800);
    mean_shift(main0, main(), dx, dy);
    EXPECT_NEAR(dx, guide_px * 0.5, 1e-6);

    // Parallel route through the relay box: 11 (north line low) held 200 ms moves 10 steps at
    // 50 steps/s; 15 holds still; 0 centres.
    const auto main1 = main();
    rig.relays(11);
    rig.clock.advance(200);
    rig.relays(15);
    rig.clock.advance(300);
    mean_shift(main1, main(), dx, dy);
    EXPECT_NEAR(dy, 10 * step_px * kMainRowsPerSkyPx, 1e-6);
    rig.relays(0);
    mean_shift(main1, main(), dx, dy);
    EXPECT_NEAR(dy, 0.0, 1e-6);
}

TEST(SimAccessories, FilterWheelTurnsAndDimsTheMainHeadFocuserBlurs) {
    ObservatoryRig rig;
    Sky& sky = rig.observatory->sky();
    const int64_t t0 = rig.now();
    // Filter 3 from slot 1: two slots of 800 ms, dark while turning; then 30 % on the main head
    // and all of it on the guider, whose pick-off sits before the wheel.
    rig.write(std::string("\xA5\x01\x03\xA9", 4), 1);
    EXPECT_EQ(sky.exposure_light(0, t0, t0 + 1600).star_share, 0.0);
    EXPECT_NEAR(sky.exposure_light(0, t0, t0 + 3200).sky_share, 0.15, 1e-12);
    EXPECT_NEAR(sky.exposure_light(0, t0 + 1600, t0 + 5000).star_share, 0.30, 1e-12);
    EXPECT_EQ(sky.exposure_light(1, t0, t0 + 1600).star_share, 1.0);
    // A bad sum or slot 9 moves nothing.
    rig.clock.advance(2000);
    rig.write(std::string("\xA5\x01\x04\xA9\xA5\x01\x09\xAF", 8), 1);
    EXPECT_EQ(rig.observatory->filter_wheel().slot(), 3);

    // The focuser through the mount's port: one second out at the fast rate, a V-curve around
    // best focus.
    const double seeing = sky.exposure_light(0, rig.now(), rig.now()).conditions.defocus_fwhm_px;
    EXPECT_EQ(seeing, 0.0);
    rig.write("#:FF#");
    rig.write("#:F+#");
    rig.clock.advance(1000);
    rig.write("#:FQ#");
    const double out = sky.exposure_light(0, rig.now(), rig.now()).conditions.defocus_fwhm_px;
    EXPECT_NEAR(out, 400 * rig.config.mount.defocus_px_per_step, 1e-9);
    rig.write("#:FS#");
    rig.write("#:F-#");
    rig.clock.advance(20000);
    rig.write("#:FQ#");
    const double in = sky.exposure_light(0, rig.now(), rig.now()).conditions.defocus_fwhm_px;
    EXPECT_NEAR(in, out, 1e-9);  // 800 steps back: as far on the other side
}

TEST(SimAccessories, CameraPortWiredToARealSerialLine) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    static std::string path;
    path = name;
    ObservatoryRig rig([](ObservatoryConfig& c) {
        c.ports[0] = PortDevice::kExternal;
        c.external_paths[0] = path;
    });
    EXPECT_EQ(rig.observatory->error(), "");
    rig.write("#:GR#");
    char got[8] = {};
    ASSERT_EQ(::read(master, got, 5), 5);
    EXPECT_EQ(std::string(got, 5), "#:GR#");
    ASSERT_EQ(::write(master, "12:34:56#", 9), 9);
    EXPECT_EQ(rig.read(9), "12:34:56#");
    // Nothing answers: zeros after a short wait, no hang.
    EXPECT_EQ(rig.read(2), std::string(2, '\0'));
    ::close(master);
    ::close(slave);
}

TEST(SimAccessories, AtmosphereMovesTheHeadsApartAndFadesWithExposureLength) {
    AtmosphereConfig config;
    const double scale = 1.8;
    const Atmosphere air(config, 7, scale);
    auto rms_arcsec = [&](int view, int64_t length_ms, int windows) {
        double squares = 0;
        for (int i = 0; i < windows; ++i) {
            double x, y;
            air.motion(view, i * length_ms, (i + 1) * length_ms, x, y);
            squares += (x * x + y * y) / 2;
        }
        return std::sqrt(squares / windows) * scale;
    };
    EXPECT_NEAR(rms_arcsec(0, 1000, 600), config.motion_rms_arcsec_1s, 0.07);
    EXPECT_NEAR(rms_arcsec(1, 1000, 600), config.motion_rms_arcsec_1s, 0.07);
    EXPECT_LT(rms_arcsec(0, 30000, 100), config.motion_rms_arcsec_1s / 3);
    // Half the motion is shared: the heads' one-second motions correlate at about 0.5.
    double both = 0, main_sq = 0, guider_sq = 0;
    for (int i = 0; i < 600; ++i) {
        double x0, y0, x1, y1;
        air.motion(0, i * 1000, i * 1000 + 1000, x0, y0);
        air.motion(1, i * 1000, i * 1000 + 1000, x1, y1);
        both += x0 * x1;
        main_sq += x0 * x0;
        guider_sq += x1 * x1;
    }
    EXPECT_NEAR(both / std::sqrt(main_sq * guider_sq), 0.5, 0.15);

    // Seeing, scintillation, cloud and cosmic rays over an hour.
    std::vector<double> seeing, twinkle;
    double darkest = 1;
    size_t rays = 0;
    CosmicRay hits[64];
    for (int64_t t = 0; t < 3600000; t += 10000) {
        seeing.push_back(air.seeing_factor(t, t + 1000));
        twinkle.push_back(air.twinkle(0, static_cast<size_t>(t / 10000), t, t + 1000));
        darkest = std::min(darkest, air.cloud_transmission(t, t + 10000));
        rays += air.cosmic_rays(0, 752, 580, 1.0, t, t + 10000, hits, 64);
    }
    auto spread = [](const std::vector<double>& v) {
        const double mean = std::accumulate(v.begin(), v.end(), 0.0) / v.size();
        double s = 0;
        for (double x : v) s += (x - mean) * (x - mean);
        return std::sqrt(s / v.size());
    };
    EXPECT_NEAR(spread(seeing), config.seeing_variation, 0.05);
    EXPECT_NEAR(spread(twinkle), config.scintillation_1s, 0.01);
    EXPECT_LT(darkest, 1 - config.cloud_depth / 3);
    // 1.5 per cm² per minute on 0.31 cm²: about 28 an hour.
    EXPECT_GT(rays, 10u);
    EXPECT_LT(rays, 60u);
    // Off, the air does nothing.
    config.enabled = false;
    const Atmosphere still(config, 7, scale);
    double x, y;
    still.motion(0, 0, 1000, x, y);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(still.cloud_transmission(0, 3600000), 1.0);
}

TEST(SimAccessories, WithTheAtmosphereFramesDifferAndRaysHitOneFieldOnly) {
    ObservatoryRig rig([](ObservatoryConfig& c) {
        noiseless_sparse(c.camera);
        c.atmosphere.enabled = true;
        c.atmosphere.cosmic_rays_per_cm2_min = 60;  // plenty for one read
        c.atmosphere.cloud_depth = 0;
    });
    // The block helpers of a camera rig, on the observatory's camera.
    SimRig frames(noiseless_sparse);
    frames.camera = rig.observatory->camera();
    const Image a = frames.exposed_frame(1000), b = frames.exposed_frame(1000);
    EXPECT_NE(a.pixels, b.pixels);

    // A minute's dark-time read of each field, both from one clear: a ray leaves a lone bright
    // pixel in one field, its neighbour rows (the other field) untouched.
    frames.clear_main();
    const Image f1 = frames.read(field_request(kField1, 60000), true);
    const Image f2 = frames.read(field_request(kField2), false);
    const double sky[2] = {median(f1.pixels), median(f2.pixels)};
    int lone = 0;
    for (int y = 1; y + 1 < f1.height; ++y) {
        for (int x = 1; x + 1 < f1.width; ++x) {
            for (int f = 0; f < 2; ++f) {
                const Image& hit = f == 0 ? f1 : f2;
                const Image& other = f == 0 ? f2 : f1;
                const double quiet = sky[f] + 100;
                if (hit.at(x, y) < sky[f] + 500 || hit.at(x - 1, y) > quiet ||
                    hit.at(x + 1, y) > quiet || hit.at(x, y - 1) > quiet ||
                    hit.at(x, y + 1) > quiet) {
                    continue;
                }
                ++lone;
                EXPECT_LT(other.at(x, y), sky[1 - f] + 100) << x << "," << y;
            }
        }
    }
    EXPECT_GT(lone, 5);

    // Binned with noise, a hit's charge is summed into its photosites' output pixel.
    frames.camera->behaviour().noise = true;
    frames.clear_main();
    const Image binned = frames.read(binned_request(60000), true);
    const double level = median(binned.pixels);
    int hits = 0;
    for (int y = 1; y + 1 < binned.height; ++y) {
        for (int x = 1; x + 1 < binned.width; ++x) {
            const double quiet = level + 300;  // 5 sigma of the sky's and dark's noise
            hits += binned.at(x, y) > level + 800 && binned.at(x - 1, y) < quiet &&
                    binned.at(x + 1, y) < quiet && binned.at(x, y - 1) < quiet &&
                    binned.at(x, y + 1) < quiet;
        }
    }
    EXPECT_GT(hits, 5);
}

}  // namespace
}  // namespace kvr::sim::test
