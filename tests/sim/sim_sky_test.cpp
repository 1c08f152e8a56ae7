// The simulator's building blocks: the pixel-integrated star profile, the random sources and
// the star field with its luminosity distribution and its lookup by region.
#include <cmath>
#include <cstring>
#include <vector>

#include "sim/psf.h"
#include "sim/random.h"
#include "sim/sky.h"
#include "sim/star_field.h"
#include "sim_rig.h"

namespace kvr::sim::test {
namespace {

TEST(SimPsf, LightIsConservedAndCentredAtAnySubPixelPosition) {
    ObservingConditions seeing;
    seeing.seeing_fwhm_px = 2.2;
    const Psf psf = Psf::from(seeing);
    PixelGrid unit;
    unit.cols = unit.rows = 64;
    // Two interlaced fields: rows 2 apart, 1 tall, the second offset by one.
    PixelGrid field1 = unit, field2 = unit;
    field1.pitch_y = field2.pitch_y = 2;
    field1.rows = field2.rows = 32;
    field2.origin_y = 1;
    Rng rng(3, 0);
    for (int trial = 0; trial < 20; ++trial) {
        const double x = 20 + 24 * rng.uniform(), y = 20 + 24 * rng.uniform();
        std::vector<float> plane(64 * 64, 0.0f), f1(64 * 32, 0.0f), f2(64 * 32, 0.0f);
        add_star(plane.data(), unit, psf, x, y, 1000.0);
        add_star(f1.data(), field1, psf, x, y, 1000.0);
        add_star(f2.data(), field2, psf, x, y, 1000.0);
        double sum = 0, sx = 0, sy = 0, fields = 0;
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < 64; ++c) {
                const double v = plane[r * 64 + c];
                sum += v;
                sx += v * (c + 0.5);
                sy += v * (r + 0.5);
            }
        }
        for (size_t i = 0; i < f1.size(); ++i) fields += f1[i] + f2[i];
        EXPECT_NEAR(sum, 1000.0, 0.2);
        EXPECT_NEAR(fields, sum, 0.01);
        EXPECT_NEAR(sx / sum, x, 0.002);
        EXPECT_NEAR(sy / sum, y, 0.002);
    }
    // Defocus widens the profile: the peak falls.
    ObservingConditions blurred = seeing;
    blurred.defocus_fwhm_px = 6;
    std::vector<float> sharp(64 * 64, 0.0f), soft(64 * 64, 0.0f);
    add_star(sharp.data(), unit, psf, 32.5, 32.5, 1000.0);
    add_star(soft.data(), unit, Psf::from(blurred), 32.5, 32.5, 1000.0);
    EXPECT_LT(soft[32 * 64 + 32], 0.2f * sharp[32 * 64 + 32]);
}

TEST(SimPsf, StarsOffTheGridOrUnphysicalAddNothing) {
    const Psf psf = Psf::from(ObservingConditions{});
    PixelGrid g;
    g.cols = g.rows = 16;
    std::vector<float> plane(16 * 16, 0.0f);
    add_star(plane.data(), g, psf, -100, 8, 1e6);
    add_star(plane.data(), g, psf, 8, 1e12, 1e6);
    add_star(plane.data(), g, psf, NAN, 8, 1e6);
    add_star(plane.data(), g, psf, 8, 8, -5);
    for (float v : plane) EXPECT_EQ(v, 0.0f);
}

// A read with many stars draws them from tables made once per read: every pixel gets what the
// exact integrals give it, to the tables' 5e-7 of the flux, on binned pixels and on a field's
// rows (a gap between them), for sharp, seeing-limited and defocused stars, whole or cut by the
// grid's edge, into a ring of rows as the sensor keeps them.
TEST(SimPsf, TabledStarImagesMatchTheExactIntegrals) {
    PixelGrid binned;  // two columns by both fields' rows of the main sensor
    binned.origin_x = 3;
    binned.pitch_x = binned.size_x = 2;
    binned.pitch_y = binned.size_y = 2 * 8.3 / 8.6;
    binned.cols = 60;
    binned.rows = 150;
    PixelGrid field = binned;  // one field's rows: one row tall, two apart
    field.size_y = 8.3 / 8.6;
    field.origin_y = 0.5;
    ObservingConditions sharp, seeing, defocused;
    sharp.seeing_fwhm_px = 0.3;
    defocused.defocus_fwhm_px = 9;
    Rng rng(11, 0);
    for (const PixelGrid& g : {binned, field}) {
        for (const ObservingConditions& c : {sharp, seeing, defocused}) {
            const Psf psf = Psf::from(c);
            StarImages images;
            images.prepare(g, psf);
            const int stride = g.cols + 8;
            constexpr int kRingRows = 64;  // taller than any stamp here, shorter than the grid
            for (int trial = 0; trial < 12; ++trial) {
                // Anywhere on the grid and a little beyond it.
                const double x = g.origin_x - 5 + (g.cols * g.pitch_x + 10) * rng.uniform();
                const double y = g.origin_y - 5 + (g.rows * g.pitch_y + 10) * rng.uniform();
                const double flux = 1e5;
                std::vector<float> exact(static_cast<size_t>(g.cols) * g.rows, 0.0f);
                add_star(exact.data(), g, psf, x, y, flux);
                // Rows r and r + kRingRows share the ring's row: a star is never that tall.
                std::vector<float> ring(static_cast<size_t>(stride) * kRingRows, 0.0f);
                StarImages::Image image;
                const bool on = images.image(x, y, flux, image);
                if (on) images.add(RowStore{ring.data(), stride, kRingRows}, image);
                double exact_sum = 0, tabled_sum = 0;
                for (int r = 0; r < g.rows; ++r) {
                    // The ring's row holds grid row r while the star's rows are drawn.
                    const bool drawn = on && r >= image.r_first && r <= image.r_last;
                    for (int col = 0; col < g.cols; ++col) {
                        const float want = exact[static_cast<size_t>(r) * g.cols + col];
                        const float got =
                            drawn ? ring[static_cast<size_t>(r % kRingRows) * stride + col] : 0;
                        ASSERT_NEAR(got, want, 5e-7 * flux + 1e-6 * want)
                            << psf.core_sigma_px << " " << x << "," << y << " " << col << "," << r;
                        exact_sum += want;
                        tabled_sum += got;
                    }
                }
                EXPECT_NEAR(tabled_sum, exact_sum, 1e-5 * flux);
            }
        }
    }
}

TEST(SimRandom, NormalSourcesHaveUnitVarianceAndTheCdfMatches) {
    Rng rng(11, 0);
    NormalSource normal(rng);
    double sum = 0, squares = 0;
    constexpr int n = 400000;
    for (int i = 0; i < n; ++i) {
        const double v = normal.next();
        sum += v;
        squares += v * v;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.01);
    EXPECT_NEAR(squares / n, 1.0, 0.01);
    for (double z = -7.9; z < 8; z += 0.37) {
        EXPECT_NEAR(normal_cdf(z), 0.5 * std::erfc(-z / std::sqrt(2.0)), 1e-6) << z;
        EXPECT_NEAR(inverse_normal_cdf(normal_cdf(z)), z, z < -6 || z > 6 ? 0.1 : 1e-4) << z;
    }
    EXPECT_EQ(normal_cdf(-9), 0.0);
    EXPECT_EQ(normal_cdf(9), 1.0);
    // A rounding below the range's top lands on the last node, not past the table.
    EXPECT_NEAR(normal_cdf(std::nextafter(8.0, 0.0)), 1.0, 1e-12);
}

// The star stamps take the distribution function in vectors: the same bits as one at a time,
// at the range's ends, beyond them, on the table's nodes and between.
TEST(SimPsf, VectorDistributionFunctionGivesTheSameBits) {
    std::vector<double> z = {-8.0,      std::nextafter(-8.0, 0.0),
                             8.0,       std::nextafter(8.0, 0.0),
                             -1e300,    1e300,
                             -INFINITY, INFINITY,
                             NAN,       0.0,
                             -0.0};
    for (double v = -8.5; v < 8.5; v += 1.0 / 512 + 1e-7) z.push_back(v);
    for (int k = -2048; k <= 2048; ++k) z.push_back(k / 256.0);
    for (bool avx2 : {true, false}) {
        allow_avx2(avx2);
        std::vector<double> out(z.size());
        normal_cdfs(z.data(), static_cast<int>(z.size()), out.data());
        for (size_t k = 0; k < z.size(); ++k) {
            const double want = normal_cdf(z[k]);
            ASSERT_EQ(std::memcmp(&out[k], &want, sizeof want), 0) << z[k] << " " << avx2;
        }
    }
    allow_avx2(true);
}

StarFieldLandmarks test_landmarks() {
    StarFieldLandmarks lm;
    lm.main_width = 752;
    lm.main_height = 580;
    lm.focus_x = 376;
    lm.focus_y = 258;
    lm.guider_x = 1130;
    lm.guider_y = 290;
    return lm;
}

TEST(SimStarField, FaintStarsOutnumberBrightOnesAsStarCountsDo) {
    StarFieldConfig config;
    const StarField field(5, config, test_landmarks());
    const auto& stars = field.stars();
    const size_t expected = static_cast<size_t>(config.stars_per_megapixel * 2048 * 2048 / 1e6);
    ASSERT_EQ(stars.size(), expected + 5);
    // Counts per magnitude: log10 rises by the configured slope per magnitude.
    std::vector<double> per_mag(10, 0);
    for (size_t i = 0; i + 1 < stars.size(); ++i) {
        EXPECT_GE(stars[i].flux_adu_per_s, stars[i + 1].flux_adu_per_s);  // brightest first
    }
    for (const Star& s : stars) {
        const double dm = -2.5 * std::log10(s.flux_adu_per_s / config.brightest_flux_adu_per_s);
        if (dm >= 0 && dm < 10) per_mag[static_cast<int>(dm)] += 1;
        const bool planted = s.flux_adu_per_s == StarField::kFocusStarFlux ||
                             s.flux_adu_per_s == StarField::kGuideStarFlux ||
                             s.flux_adu_per_s >= StarField::kSaturatingStarFlux;
        if (!planted && dm >= 0) {
            EXPECT_GE(s.x, 0);
            EXPECT_LT(s.x, 2048);
            EXPECT_GE(s.y, 0);
            EXPECT_LT(s.y, 2048);
        }
    }
    const double slope =
        (std::log10(per_mag[8] + per_mag[9]) - std::log10(per_mag[4] + per_mag[5])) / 4;
    EXPECT_NEAR(slope, config.count_slope_per_mag, 0.05);
}

TEST(SimStarField, PlantedStarsAreWhereTheyHelpOrHurt) {
    const StarFieldLandmarks lm = test_landmarks();
    const StarField field(9, StarFieldConfig{}, lm);
    std::vector<Star> doubles;
    bool focus = false, guide = false, saturating = false;
    for (const Star& s : field.stars()) {
        if (s.flux_adu_per_s == StarField::kFocusStarFlux) {
            focus = std::hypot(s.x - lm.focus_x, s.y - lm.focus_y) < 4.5;
        } else if (s.flux_adu_per_s == StarField::kGuideStarFlux) {
            guide = std::hypot(s.x - lm.guider_x, s.y - lm.guider_y) < 29;
        } else if (s.flux_adu_per_s == StarField::kSaturatingStarFlux) {
            saturating = s.x > 40 && s.x < 712 && s.y > 40 && s.y < 540;
        } else if (s.flux_adu_per_s == StarField::kDoubleStarFlux ||
                   s.flux_adu_per_s == 0.7 * StarField::kDoubleStarFlux) {
            doubles.push_back(s);
        }
    }
    EXPECT_TRUE(focus);
    EXPECT_TRUE(guide);
    EXPECT_TRUE(saturating);
    ASSERT_EQ(doubles.size(), 2u);
    EXPECT_NEAR(std::hypot(doubles[0].x - doubles[1].x, doubles[0].y - doubles[1].y),
                StarField::kDoubleSeparationPx, 1e-9);
}

// A read looks only at the stars its region may hold: every star in it, wherever the tile's copies
// put it, is among them, and a small region leaves most of the field out.
TEST(SimStarField, StarsNearARegionAreAllFound) {
    const StarField field(4, StarFieldConfig{}, test_landmarks());
    const double tile = field.tile_px();
    auto inside = [tile](double v, double lo, double hi) {
        // Some copy of v, v + k·tile, in [lo, hi].
        return std::ceil((lo - v) / tile) <= std::floor((hi - v) / tile);
    };
    Rng rng(6, 0);
    std::vector<uint64_t> near;
    for (int trial = 0; trial < 200; ++trial) {
        const double w = trial % 10 == 0 ? 2.5 * tile : 400 * rng.uniform();
        const double h = 400 * rng.uniform();
        const double x = -3 * tile + 6 * tile * rng.uniform();
        const double y = -3 * tile + 6 * tile * rng.uniform();
        field.mark_near(x, x + w, y, y + h, near);
        size_t marked = 0;
        for (size_t i = 0; i < field.stars().size(); ++i) {
            const bool is_near = (near[i / 64] >> (i % 64)) & 1;
            marked += is_near;
            const Star& s = field.stars()[i];
            if (inside(s.x, x, x + w) && inside(s.y, y, y + h)) {
                ASSERT_TRUE(is_near) << trial << ": star " << i;
            }
        }
        if (w < 400) {
            EXPECT_LT(marked, field.stars().size() / 4) << trial;
        }
    }
}

TEST(SimSky, TheSkyRepeatsSoADriftingMountNeverRunsOutOfStars) {
    SimRig rig([](CameraConfig& c) { c.drift_x_px_per_s = 40; });
    const size_t at_start = rig.camera->main_sensor_stars(0).size();
    // An hour of drift: 144000 pixels, some 70 tiles.
    for (int64_t t : {600000, 1800000, 3600000}) {
        const size_t later = rig.camera->main_sensor_stars(t).size();
        EXPECT_GT(later, at_start / 2) << t;
        EXPECT_LT(later, at_start * 2) << t;
    }
    // The timeline keeps counting across the 32-bit wrap of the millisecond clock.
    rig.clock.advance(0xFFFFFF00u);
    const int64_t before = rig.sky->now_ms();
    rig.clock.advance(0x200);
    EXPECT_EQ(rig.sky->now_ms() - before, 0x200);
}

}  // namespace
}  // namespace kvr::sim::test
