// The simulated camera's pixels behave as a real sensor's under a real sky: star images,
// exposure, saturation, interlaced fields, binning, windows, drift, noise and dark current.
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "kernels/simd_dispatch.h"
#include "sim_rig.h"

namespace kvr::sim::test {
namespace {

constexpr double kBias = 400;

// Moves the star images by a fixed amount: stands in for a mount offset.
class FixedShift : public ImageShiftSource {
  public:
    explicit FixedShift(ImageShift s) : shift(s) {}
    ImageShift image_shift_at(int64_t) override { return shift; }
    ImageShift shift;
};

const Star& planted(const Sky& sky, double flux) {
    for (const Star& s : sky.star_field().stars()) {
        if (s.flux_adu_per_s == flux) return s;
    }
    static const Star none{};
    ADD_FAILURE() << "no planted star of flux " << flux;
    return none;
}

// Puts the focus star at the centre of pixel (376, 258) of the frame.
void centre_focus_star(SimRig& rig) {
    const Star& s = planted(*rig.sky, StarField::kFocusStarFlux);
    rig.sky->set_image_shift_source(
        std::make_shared<FixedShift>(ImageShift{376.5 - s.x, 258.5 / kMainRowsPerSkyPx - s.y}));
}

TEST(SimCameraPhysics, StarImagesAreSymmetricAndConserveLight) {
    SimRig rig([](CameraConfig& c) {
        noiseless_sparse(c);
        c.conditions.sky_adu_per_s = 0;
        c.main_sensor.dark_adu_per_s = 0;
    });
    centre_focus_star(rig);
    const Image frame = rig.exposed_frame(200);
    const double peak = frame.at(376, 258) - kBias;
    EXPECT_GT(peak, 2000);
    for (int d = 1; d <= 8; ++d) {
        EXPECT_NEAR(frame.at(376 + d, 258), frame.at(376 - d, 258), 1) << d;
        EXPECT_NEAR(frame.at(376, 258 + d), frame.at(376, 258 - d), 1) << d;
        EXPECT_NEAR(frame.at(376 + d, 258 + d), frame.at(376 - d, 258 - d), 1) << d;
        EXPECT_LT(frame.at(376 + d, 258), frame.at(376 + d - 1, 258)) << d;
        // Rows are a little shorter than columns are wide: the star falls off more slowly down
        // the frame than across it.
        if (frame.at(376 + d, 258) > kBias + 2) {
            EXPECT_GT(frame.at(376, 258 + d), frame.at(376 + d, 258)) << d;
        }
    }
    // The whole light of the star, 0.2 s at 2e5 ADU/s, lands on the two fields.
    EXPECT_NEAR(star_sum(frame, 376, 258, 14, kBias), 0.2 * StarField::kFocusStarFlux, 100);
}

TEST(SimCameraPhysics, CollectedLightScalesWithExposure) {
    SimRig rig(noiseless_sparse);
    centre_focus_star(rig);
    auto focus_star_light = [&](uint32_t ms) {
        rig.clear_main();
        const Image field = rig.read(field_request(kField1, ms), true);
        return star_sum(field, 376, 129, 12, median(field.pixels));
    };
    const double short_light = focus_star_light(400);
    const double long_light = focus_star_light(800);
    EXPECT_GT(short_light, 0.3 * 0.4 * StarField::kFocusStarFlux);
    EXPECT_NEAR(long_light / short_light, 2.0, 0.01);
}

TEST(SimCameraPhysics, PixelsClampAtFullScale) {
    SimRig rig(noiseless);
    const Star& bright = planted(*rig.sky, StarField::kSaturatingStarFlux);
    const Image frame = rig.exposed_frame(2000);
    const int x = static_cast<int>(bright.x), y = static_cast<int>(bright.y * kMainRowsPerSkyPx);
    EXPECT_EQ(*std::max_element(frame.pixels.begin(), frame.pixels.end()), 65535);
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) EXPECT_EQ(frame.at(x + dx, y + dy), 65535);
    }
    // Summing four saturated pixels on the chip still reads full scale, not a wrapped value.
    rig.clear_main();
    const Image binned = rig.read(binned_request(2000), true);
    EXPECT_EQ(binned.at(x / 2, y / 2), 65535);
}

TEST(SimCameraPhysics, SecondFieldOfAnInterlacedReadIsBrighter) {
    SimRig rig;
    rig.camera->behaviour().download_ms_per_field = 1000;
    centre_focus_star(rig);
    rig.clear_main();
    rig.wait(500);
    const Image first = rig.read(field_request(kField1), false);
    const Image second = rig.read(field_request(kField2), false);
    const double sky_first = median(first.pixels), sky_second = median(second.pixels);
    // The second field went on collecting light while the first was sent: 1 s more sky
    // (12 ADU/s) and dark current, and three times the starlight.
    EXPECT_NEAR(sky_second - sky_first, 12.3, 2);
    const double star_first = star_sum(first, 376, 129, 12, sky_first);
    const double star_second = star_sum(second, 376, 129, 12, sky_second);
    EXPECT_NEAR(star_second / star_first, 3.0, 0.05);
}

TEST(SimCameraPhysics, BinnedReadSumsBothFieldsAndColumnPairs) {
    SimRig rig(noiseless);
    rig.clear_main();
    const Image a = rig.read(field_request(kField1, 1000), true);
    rig.clear_main();
    const Image b = rig.read(field_request(kField2, 1000), true);
    rig.clear_main();
    const Image binned = rig.read(binned_request(1000), true);
    ASSERT_EQ(binned.width, 376);
    int compared = 0;
    for (int y = 0; y < binned.height; ++y) {
        for (int x = 0; x < binned.width; ++x) {
            const double parts[] = {a.at(2 * x, y), a.at(2 * x + 1, y), b.at(2 * x, y),
                                    b.at(2 * x + 1, y)};
            if (binned.at(x, y) == 65535 || *std::max_element(parts, parts + 4) == 65535) continue;
            double sum = 0;
            for (double v : parts) sum += v - kBias;
            ASSERT_EQ(binned.at(x, y) - kBias, sum) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 376 * 290 - 100);
}

TEST(SimCameraPhysics, BinnedReadWithNoiseMatchesTheFieldsOnAverage) {
    SimRig rig;
    rig.clear_main();
    const double a = median(rig.read(field_request(kField1, 2000), true).pixels) - kBias;
    rig.clear_main();
    const double b = median(rig.read(field_request(kField2, 2000), true).pixels) - kBias;
    rig.clear_main();
    const double binned = median(rig.read(binned_request(2000), true).pixels) - kBias;
    EXPECT_NEAR(binned, 2 * a + 2 * b, 3);
}

// With noise, a read that sums photosites (binned, or both fields of the main head) is drawn
// straight onto its output pixels; it must be the noiseless read (every photosite's charge summed
// on the chip: sky, stars, dark current, hot pixels) plus one draw per output pixel of the summed
// charge's photon noise and one read noise. Over each frame the difference, in units of its
// expected spread (photon and read noise, and the two reads' rounding), has mean 0 and spread 1:
// for every way the photosites can be summed, on both heads. (The guider's converter is made
// finer here, a count for three units of charge: at 64 its noiseless rounding is coarser than the
// noise and biased by the sky's level; an odd number leaves no halves to round up.)
TEST(SimCameraPhysics, SummingReadsAreTheSummedChargeWithOneNoiseDraw) {
    ReadRequest odd_window = window_request(kFieldBoth, 5, 7, 5000);
    odd_window.width = 123;
    odd_window.bin_x = 3;
    ReadRequest one_field = field_request(kField2, 5000);
    one_field.bin_x = 2;
    ReadRequest guider = guider_request();
    guider.bin_x = guider.bin_y = 2;
    guider.delay_ms = 1000;
    for (const ReadRequest& r :
         {binned_request(5000), field_request(kFieldBoth, 5000), odd_window, one_field, guider}) {
        SensorConfig sensor;
        auto frame = [&](bool noise) {
            SimRig rig([](CameraConfig& c) { c.guider_sensor.charge_per_count = 3; });
            rig.camera->behaviour().noise = noise;
            sensor = r.head == kHeadMain ? rig.config.main_sensor : rig.config.guider_sensor;
            rig.clear_main();
            rig.clear_guider();
            return rig.read(r, true);
        };
        const Image noisy = frame(true), exact = frame(false);
        const double top = r.head == kHeadMain ? 65535 : 255;
        double sum = 0, squares = 0;
        int n = 0;
        for (size_t i = 0; i < exact.pixels.size(); ++i) {
            if (exact.pixels[i] > 0.9 * top || noisy.pixels[i] == top) continue;  // clipped
            const double counts = exact.pixels[i] - sensor.bias_counts;
            const double variance = counts / sensor.charge_per_count +
                                    sensor.read_noise_counts * sensor.read_noise_counts + 1 / 6.0;
            const double z = (noisy.pixels[i] - exact.pixels[i]) / std::sqrt(variance);
            sum += z;
            squares += z * z;
            ++n;
        }
        ASSERT_GT(n, 0.99 * static_cast<double>(exact.pixels.size())) << r.head << " " << r.width;
        const double mean = sum / n;
        EXPECT_NEAR(mean, 0.0, 4 / std::sqrt(n)) << r.head << " " << r.width;
        EXPECT_NEAR(std::sqrt(squares / n - mean * mean), 1.0, std::max(0.02, 3 / std::sqrt(n)))
            << r.head << " " << r.width;
    }
}

TEST(SimCameraPhysics, WindowReadIsTheSameRegionOfAFullRead) {
    SimRig rig(noiseless);
    for (uint16_t field : {kField1, kField2, kFieldBoth}) {
        rig.clear_main();
        const Image full = rig.read(field_request(field, 800), true);
        rig.clear_main();
        const Image window = rig.read(window_request(field, 300, 140, 800), true);
        ASSERT_EQ(window.width, 128);
        for (int y = 0; y < 128; ++y) {
            for (int x = 0; x < 128; ++x) {
                ASSERT_EQ(window.at(x, y), full.at(300 + x, 140 + y))
                    << field << ":" << x << "," << y;
            }
        }
    }
}

TEST(SimCameraPhysics, DriftMovesEveryStarAtTheSetRate) {
    SimRig rig([](CameraConfig& c) {
        noiseless_sparse(c);
        c.drift_x_px_per_s = 0.5;
        c.drift_y_px_per_s = -0.25;
    });
    const int64_t t0 = rig.sky->now_ms();
    const auto before = rig.camera->main_sensor_stars(t0);
    const auto after = rig.camera->main_sensor_stars(t0 + 20000);
    ASSERT_FALSE(before.empty());
    for (const SensorStar& s : before) {
        for (const SensorStar& m : after) {
            if (m.flux_adu_per_s != s.flux_adu_per_s) continue;
            EXPECT_NEAR(m.x - s.x, 10.0, 1e-9);
            EXPECT_NEAR(m.y - s.y, -5.0 * kMainRowsPerSkyPx, 1e-9);
        }
    }

    // The frames agree: the focus star's image moved by the same amount.
    const SensorStar focus = before[1];
    ASSERT_EQ(focus.flux_adu_per_s, StarField::kFocusStarFlux);
    double x0, y0, x1, y1;
    const Image first = rig.exposed_frame(200);
    centroid(first, focus.x, focus.y, 8, median(first.pixels), x0, y0);
    rig.wait(20000 - 400);
    const Image later = rig.exposed_frame(200);
    centroid(later, focus.x + 10, focus.y - 5, 8, median(later.pixels), x1, y1);
    EXPECT_NEAR(x1 - x0, 10.0, 0.05);
    EXPECT_NEAR(y1 - y0, -5.0 * kMainRowsPerSkyPx, 0.05);

    // Changing the rate keeps the images where they are at that moment.
    const auto now = rig.sky->now_ms();
    const ImageShift here = rig.sky->image_shift_at(now);
    rig.sky->set_drift(0, 0);
    EXPECT_NEAR(rig.sky->image_shift_at(now + 5000).x, here.x, 1e-9);
}

TEST(SimCameraPhysics, DriftDuringAnExposureTrailsTheStars) {
    auto spread = [](double drift) {
        SimRig rig(noiseless_sparse);
        centre_focus_star(rig);
        rig.sky->set_drift(drift, 0);
        rig.clear_main();
        const Image f = rig.read(field_request(kField1, 4000), true);
        const double bg = median(f.pixels);
        double cx, cy;
        centroid(f, 376 + 2 * drift, 129, 14, bg, cx, cy);
        double sum = 0, vx = 0, vy = 0;
        for (int y = 115; y <= 143; ++y) {
            for (int x = static_cast<int>(cx) - 14; x <= static_cast<int>(cx) + 14; ++x) {
                const double v = f.at(x, y) - bg;
                sum += v;
                vx += v * (x - cx) * (x - cx);
                vy += v * (y - cy) * (y - cy);
            }
        }
        return std::make_pair(vx / sum, vy / sum);
    };
    const auto still = spread(0);
    const auto trailed = spread(3);  // 12 pixels in 4 s
    EXPECT_NEAR(trailed.first - still.first, 12.0 * 12.0 / 12.0, 1.5);
    EXPECT_NEAR(trailed.second, still.second, 0.05);
}

TEST(SimCameraPhysics, BrightStarsLieWhereTheStarListSays) {
    SimRig rig;
    const Image frame = rig.exposed_frame(1000);
    const double bg = median(frame.pixels);
    const auto stars = rig.camera->main_sensor_stars(rig.sky->now_ms());
    int checked = 0;
    for (const SensorStar& s : stars) {
        if (checked == 10) break;
        // Unsaturated, well clear of the noise, inside the sensor and alone.
        if (s.flux_adu_per_s > 3e5 || s.flux_adu_per_s < 5e3) continue;
        if (s.x < 12 || s.x > 740 || s.y < 12 || s.y > 568) continue;
        bool alone = true;
        for (const SensorStar& o : stars) {
            if (&o != &s && std::hypot(o.x - s.x, o.y - s.y) < 12 &&
                o.flux_adu_per_s > 0.02 * s.flux_adu_per_s) {
                alone = false;
            }
        }
        if (!alone) continue;
        double cx, cy;
        centroid(frame, s.x - 0.5, s.y - 0.5, 6, bg, cx, cy);
        EXPECT_NEAR(cx, s.x - 0.5, 0.15) << s.flux_adu_per_s;
        EXPECT_NEAR(cy, s.y - 0.5, 0.15) << s.flux_adu_per_s;
        ++checked;
    }
    EXPECT_EQ(checked, 10);
}

TEST(SimCameraPhysics, ImageShiftSourceMovesBothSensors) {
    SimRig rig(noiseless_sparse);
    const auto main_before = rig.camera->main_sensor_stars(0);
    const auto guider_before = rig.camera->guider_stars(0);
    rig.sky->set_image_shift_source(std::make_shared<FixedShift>(ImageShift{3.25, -1.5}));
    const auto main_after = rig.camera->main_sensor_stars(0);
    const auto guider_after = rig.camera->guider_stars(0);
    ASSERT_EQ(main_before.size(), main_after.size());
    ASSERT_FALSE(guider_before.empty());
    ASSERT_EQ(guider_before.size(), guider_after.size());
    EXPECT_DOUBLE_EQ(main_after[0].x - main_before[0].x, 3.25);
    EXPECT_NEAR(main_after[0].y - main_before[0].y, -1.5 * kMainRowsPerSkyPx, 1e-9);
    EXPECT_DOUBLE_EQ(guider_after[0].x - guider_before[0].x, 3.25);
    EXPECT_NEAR(guider_after[0].y - guider_before[0].y, -1.5 * kGuiderRowsPerSkyPx, 1e-9);
}

TEST(SimCameraPhysics, GuiderHeadSeesItsGuideStarInEightBits) {
    SimRig rig;
    SensorStar guide;
    for (const SensorStar& s : rig.camera->guider_stars(rig.sky->now_ms())) {
        if (s.flux_adu_per_s == StarField::kGuideStarFlux * rig.config.guider.throughput) guide = s;
    }
    ASSERT_GT(guide.flux_adu_per_s, 0);
    auto guider_frame = [&](uint32_t ms) {
        rig.clear_guider();
        rig.wait(ms);
        return rig.read(guider_request(), false);
    };
    const Image one = guider_frame(1000);
    const double bg = median(one.pixels);
    double cx, cy;
    centroid(one, guide.x - 0.5, guide.y - 0.5, 5, bg, cx, cy);
    EXPECT_NEAR(cx, guide.x - 0.5, 0.3);
    EXPECT_NEAR(cy, guide.y - 0.5, 0.3);
    const double peak = one.at(static_cast<int>(guide.x), static_cast<int>(guide.y));
    EXPECT_GT(peak, 60);
    EXPECT_LT(peak, 255);
    const Image two = guider_frame(2000);
    EXPECT_NEAR(star_sum(two, cx, cy, 6, median(two.pixels)) / star_sum(one, cx, cy, 6, bg), 2.0,
                0.2);
}

TEST(SimCameraPhysics, BiasReadNoiseAndDarkCurrentOfACappedTelescope) {
    SimRig rig;
    rig.camera->behaviour().filter_throughput = 0;  // no light reaches the sensor
    rig.clear_main();
    const Image bias_frame = rig.read(field_request(kField1, 0), true);
    std::vector<double> deviations;
    const double bias_level = median(bias_frame.pixels);
    EXPECT_NEAR(bias_level, kBias, 1);
    for (double v : bias_frame.pixels) deviations.push_back(std::abs(v - bias_level));
    EXPECT_NEAR(1.4826 * median(deviations), 6.0, 0.4);

    const Image short_dark = rig.exposed_frame(10000);
    const Image long_dark = rig.exposed_frame(60000);
    EXPECT_NEAR(median(long_dark.pixels) - kBias, 0.3 * 60, 3);
    // Hot pixels: about 3e-4 of the sensor, their excess growing with the exposure.
    int hot = 0;
    for (size_t i = 0; i < long_dark.pixels.size(); ++i) {
        const double excess = long_dark.pixels[i] - kBias;
        if (excess < 250) continue;
        ++hot;
        EXPECT_NEAR((short_dark.pixels[i] - kBias) / excess, 10.0 / 60.0, 0.06) << i;
    }
    EXPECT_GT(hot, 80);
    EXPECT_LT(hot, 200);
}

// Correlation of the deviations from `level` of pixels (x, y) and (x + dx, y + dy), both within
// `clip` of the level (stars and hot pixels left out).
double neighbour_correlation(const Image& f, double level, double clip, int dx, int dy) {
    double both = 0, first = 0, second = 0;
    for (int y = 0; y + dy < f.height; ++y) {
        for (int x = 0; x + dx < f.width; ++x) {
            const double a = f.at(x, y) - level, b = f.at(x + dx, y + dy) - level;
            if (std::abs(a) > clip || std::abs(b) > clip) continue;
            both += a * b;
            first += a * a;
            second += b * b;
        }
    }
    return both / std::sqrt(first * second);
}

TEST(SimCameraPhysics, PixelNoiseIsPhotonAndReadNoise) {
    SimRig rig([](CameraConfig& c) {
        c.main_sensor.vignetting = 0;
        c.main_sensor.response_spread = 0;
        c.conditions.sky_adu_per_s = 100;
        c.star_field.stars_per_megapixel = 0;
    });
    // One field, and the binned sum of four photosites (two columns of both fields), whose
    // photon noise is that of the summed charge.
    const struct {
        ReadRequest request;
        double charge;
    } reads[] = {{field_request(kField1, 10000), 1003}, {binned_request(10000), 4 * 1003}};
    for (const auto& read : reads) {
        rig.clear_main();
        const Image f = rig.read(read.request, true);
        const double level = median(f.pixels);
        EXPECT_NEAR(level - kBias, read.charge, 3 * read.charge / 1003);
        std::vector<double> deviations;
        for (double v : f.pixels) deviations.push_back(std::abs(v - level));
        const double sigma = std::sqrt(read.charge + 36.0);
        EXPECT_NEAR(1.4826 * median(deviations), sigma, 0.03 * sigma);
        // No pattern: neighbours, pixels a noise block apart and rows are uncorrelated.
        for (const auto& [dx, dy] : {std::pair{1, 0}, {8, 0}, {0, 1}, {1, 1}}) {
            EXPECT_NEAR(neighbour_correlation(f, level, 5 * sigma, dx, dy), 0.0, 0.015)
                << read.charge << ": " << dx << "," << dy;
        }
    }
}

// The vector loops of the simulated sensor draw and compute exactly as the portable ones: the
// same seed gives the same frames on every processor.
TEST(SimCameraPhysics, PortableAndVectorLoopsGiveTheSameFrames) {
    ReadRequest odd_window = window_request(kFieldBoth, 5, 7, 900);
    odd_window.width = 123;
    odd_window.bin_x = 3;
    const ReadRequest requests[] = {binned_request(900), field_request(kField2, 900), odd_window,
                                    guider_request()};
    for (const bool noise : {true, false}) {
        std::vector<Image> frames[2];
        for (int portable = 0; portable < 2; ++portable) {
            std::optional<PortableLoopsOnly> only;
            if (portable) only.emplace();
            SimRig rig;
            rig.camera->behaviour().noise = noise;
            for (const ReadRequest& r : requests) {
                rig.wait(1000);
                frames[portable].push_back(rig.read(r, r.head == kHeadMain));
            }
            // Reads that sum photosites collected over one interval, the stars still and trailed.
            for (const double drift : {0.0, 3.0}) {
                rig.sky->set_drift(drift, 0);
                for (const ReadRequest& r : {binned_request(900), odd_window}) {
                    rig.clear_main();
                    frames[portable].push_back(rig.read(r, true));
                }
            }
        }
        for (size_t i = 0; i < frames[0].size(); ++i)
            EXPECT_EQ(frames[0][i].pixels, frames[1][i].pixels) << noise << ": read " << i;
    }
}

}  // namespace
}  // namespace kvr::sim::test
