// The simulated mount through the camera's serial port and relay box, driven with the bytes the
// program sends: guide pulses move the stars of both heads, a go-to points the mount at the
// object, and the tracking errors follow their settings (measured from the event log).
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "observatory_rig.h"
#include "sim/angles.h"
#include "sim/observatory.h"
#include "sim/sky_catalogue.h"

namespace kvr::sim::test {
namespace {

TEST(SimMount, GuidePulsesMoveTheStarsOfBothHeadsByRateTimesTime) {
    ObservatoryRig rig(exact_mount);
    const double scale = rig.config.optics.plate_scale_arcsec_per_px;
    const double guide = 0.5 * kSiderealArcsecPerS;  // ″ per second
    const double backlash = rig.config.mount.dec_backlash_arcsec;
    auto main0 = rig.camera().main_sensor_stars(rig.now());
    auto guider0 = rig.camera().guider_stars(rig.now());

    // An LX200 pulse north of 1500 ms, as the program sends it; the gears start in the middle
    // of their play, so half of it is taken up first.
    rig.write("#:RG#");
    rig.clock.advance(20);
    rig.write("#:Mn#");
    rig.clock.advance(1500);
    rig.write("#:Qn#");
    rig.clock.advance(4);
    auto main1 = rig.camera().main_sensor_stars(rig.now());
    auto guider1 = rig.camera().guider_stars(rig.now());
    double dx, dy;
    const double north_px = (guide * 1.5 - backlash / 2) / scale;
    mean_shift(main0, main1, dx, dy);
    EXPECT_NEAR(dx, 0.0, 1e-6);
    // North is up: the stars move down the frame.
    EXPECT_NEAR(dy, north_px * kMainRowsPerSkyPx, 0.01);
    mean_shift(guider0, guider1, dx, dy);
    EXPECT_NEAR(dx, 0.0, 1e-6);
    EXPECT_NEAR(dy, north_px * kGuiderRowsPerSkyPx, 0.01);  // guider rows are two sensor rows tall

    // The relay box (west 1, south 2, north 4, east 8): east 2000 ms moves the stars right,
    // then south 1200 ms reverses the declination gears through their whole play.
    rig.relays(8);
    rig.clock.advance(2000);
    rig.relays(0);
    rig.relays(2);
    rig.clock.advance(1200);
    rig.relays(0);
    auto main2 = rig.camera().main_sensor_stars(rig.now());
    auto guider2 = rig.camera().guider_stars(rig.now());
    mean_shift(main1, main2, dx, dy);
    EXPECT_NEAR(dx, guide * 2.0 / scale, 0.01);  // on the equator cos δ = 1
    EXPECT_NEAR(dy, -(guide * 1.2 - backlash) / scale * kMainRowsPerSkyPx, 0.01);
    mean_shift(guider1, guider2, dx, dy);
    EXPECT_NEAR(dx, guide * 2.0 / scale, 0.01);
    EXPECT_NEAR(dy, -(guide * 1.2 - backlash) / scale * kGuiderRowsPerSkyPx, 0.01);
}

TEST(SimMount, GoToM31ThroughTheCameraPortPointsTheMountThere) {
    ObservatoryRig rig;
    Mount& mount = rig.observatory->mount();
    auto before = rig.camera().main_sensor_stars(rig.now());

    // move_telescope('m', 31): 10 bytes, then get_info, then the slew and its verdict.
    rig.write("#:LM 0031#");
    rig.write("#:LI#");
    rig.clock.advance(200);
    const std::string info = rig.read(33);
    EXPECT_EQ(info.substr(0, info.find('#')), "M31 NGC224 00:44.2 +41*25");
    rig.write("#:MS#");
    rig.clock.advance(500);
    EXPECT_EQ(rig.read(1), "0");
    EXPECT_TRUE(mount.slewing(rig.now()));
    rig.write("#:D#");
    EXPECT_EQ(rig.read(2), "\x7F#");
    // About 45° in declination at 4°/s.
    rig.clock.advance(15000);
    EXPECT_FALSE(mount.slewing(rig.now()));

    const double jd = julian_day(static_cast<double>(kEvening) + rig.now() / 1000.0);
    const Equatorial m31 = messier_object(31, jd)->position;
    rig.write("#:GR#");
    const std::string ra = rig.read(9);
    rig.write("#:GD#");
    const std::string dec = rig.read(10);
    char expected_ra[64], expected_dec[64];
    const long ra_s = std::lround(m31.ra_deg * 240), dec_s = std::lround(m31.dec_deg * 3600);
    std::snprintf(expected_ra, sizeof expected_ra, "%02ld:%02ld:%02ld#", ra_s / 3600,
                  ra_s / 60 % 60, ra_s % 60);
    std::snprintf(expected_dec, sizeof expected_dec, "+%02ld*%02ld:%02ld#", dec_s / 3600,
                  dec_s / 60 % 60, dec_s % 60);
    EXPECT_EQ(ra, expected_ra);
    EXPECT_EQ(dec, expected_dec);
    // The optics point there too, within the drive's errors.
    const AxisPosition error = mount.pointing_error(rig.now());
    EXPECT_LT(std::hypot(error.ra, error.dec), 12.0);
    // Another region of the sky: other stars.
    auto after = rig.camera().main_sensor_stars(rig.now());
    int same = 0;
    for (const SensorStar& a : before) {
        for (const SensorStar& b : after) same += a.flux_adu_per_s == b.flux_adu_per_s;
    }
    EXPECT_LT(same, 3);

    // Coordinates as move_to_coord sends them (no closing '#' on :Sr and :Sd), then an object
    // that never rises here, and an NGC number the mount cannot place.
    rig.write("#:Sr 05:35.0");
    rig.write("#:Sd -05*30");
    rig.write("#:LI#");
    rig.write("#:MS#");
    EXPECT_EQ(rig.read(1), "0");
    rig.clock.advance(20000);
    rig.write("#:GR#");
    EXPECT_EQ(rig.read(9), "05:35:00#");
    rig.write("#:GD#");
    EXPECT_EQ(rig.read(10), "-05*30:00#");
    rig.write("#:LM 0007#");
    rig.write("#:MS#");
    EXPECT_EQ(rig.read(1), "1");
    EXPECT_EQ(rig.read(33).substr(0, 21), "Object Below Horizon#");
    rig.write("#:LC 0001#");
    rig.write("#:MS#");
    EXPECT_EQ(rig.read(1), "1");
    rig.write("#:GD#");
    EXPECT_EQ(rig.read(10), "-05*30:00#");
}

TEST(SimMount, TrackingErrorsInTheLogFollowTheirSettings) {
    const std::string path = ::testing::TempDir() + "sim_mount_log.csv";
    ObservatoryRig rig([](ObservatoryConfig& c) {
        c.log_path = ::testing::TempDir() + "sim_mount_log.csv";
        c.mount.drift_ra_arcsec_per_min = 0;
    });
    rig.write("#:RG#");
    // One worm period, the mount asked about now and then as exposures do.
    for (int i = 0; i < 48; ++i) {
        rig.clock.advance(10000);
        rig.observatory->mount().true_pointing(rig.now());
    }
    rig.observatory.reset();

    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "t_ms,device,event,data,ra_err_arcsec,dec_err_arcsec");
    std::vector<double> t, ra, dec;
    bool logged_bytes = false;
    while (std::getline(in, line)) {
        logged_bytes = logged_bytes || line == "0,port1,bytes,\"#:RG#\",,";
        double ms, r, d;
        if (std::sscanf(line.c_str(), "%lf,mount,pointing,,%lf,%lf", &ms, &r, &d) == 3) {
            t.push_back(ms);
            ra.push_back(r);
            dec.push_back(d);
        }
    }
    EXPECT_TRUE(logged_bytes);
    ASSERT_EQ(t.size(), 481u);
    EXPECT_EQ(t[1] - t[0], 1000.0);
    const auto [lo, hi] = std::minmax_element(ra.begin(), ra.end());
    EXPECT_NEAR(*hi - *lo, 10.0, 0.1);  // peak to peak over one worm turn, on the equator
    EXPECT_NEAR((dec.back() - dec.front()) / 8.0, 3.0, 0.01);  // ″ per minute
}

}  // namespace
}  // namespace kvr::sim::test
