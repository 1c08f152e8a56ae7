// The fitted star centre against the truth of a star narrower than its pixels: a sharp core with
// a faint wide halo, integrated over each pixel, swept across a pixel in small steps. The guide
// centroid of such a star clings to the middle of the pixel; the fit must follow the star.
#include "guiding/star_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "guiding/star_signal.h"

namespace kvr::test {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 40;

double cdf(double z) {
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

// Light of a unit profile of width `sigma` on the pixel [i - 0.5, i + 0.5] for a star at `c`.
double on_pixel(int i, double c, double sigma) {
    return cdf((i + 0.5 - c) / sigma) - cdf((i - 0.5 - c) / sigma);
}

// A frame with sky 1000 ± `noise` and a star of `flux` ADU at (cx, cy): 88 % of its light in a
// core of widths (sx, sy) and 12 % in a halo 2.5 times wider, as seeing spreads a star.
std::vector<uint16_t> star_frame(double cx, double cy, double sx, double sy, double flux,
                                 double noise, std::mt19937& rng) {
    std::normal_distribution<double> sky(1000.0, noise);
    std::vector<uint16_t> f(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double core = on_pixel(x, cx, sx) * on_pixel(y, cy, sy);
            const double halo = on_pixel(x, cx, 2.5 * sx) * on_pixel(y, cy, 2.5 * sy);
            const double v = (noise > 0 ? sky(rng) : 1000.0) + flux * (0.88 * core + 0.12 * halo);
            f[y * kWidth + x] = static_cast<uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
        }
    return f;
}

struct Errors {
    double fit_rms = 0, fit_worst = 0, centroid_rms = 0;
};

// Sweeps the star across one pixel on each axis at once, 21 steps; the errors of the fit and
// of measure_star's intensity-weighted centre against the truth.
Errors sweep(double sx, double sy, double flux, double noise) {
    std::mt19937 rng(7);
    Errors e;
    int n = 0;
    for (int k = 0; k <= 20; ++k) {
        const double cx = 30 + k / 20.0, cy = 20 + k / 20.0;
        const auto f = star_frame(cx, cy, sx, sy, flux, noise, rng);
        const StarSignal s = measure_star(f.data(), kWidth, kHeight, 30, 20, 8);
        double fx = 0, fy = 0;
        EXPECT_TRUE(fit_star_centre(f.data(), kWidth, kHeight, s, fx, fy)) << "step " << k;
        const double err = std::hypot(fx - cx, fy - cy);
        e.fit_rms += err * err;
        e.fit_worst = std::max(e.fit_worst, err);
        e.centroid_rms += std::pow(s.cx - cx, 2) + std::pow(s.cy - cy, 2);
        ++n;
    }
    e.fit_rms = std::sqrt(e.fit_rms / n);
    e.centroid_rms = std::sqrt(e.centroid_rms / n);
    return e;
}

TEST(StarFit, FollowsStarsNarrowerThanTheirPixels) {
    // Good seeing on the guider: a quarter of a row tall, half a column wide, bright and noisy.
    const Errors sharp = sweep(0.47, 0.24, 40000, 8);
    EXPECT_LT(sharp.fit_rms, 0.05);
    EXPECT_LT(sharp.fit_worst, 0.12);
    EXPECT_GT(sharp.centroid_rms, sharp.fit_rms);
    // A well-sampled star: the fit is as good as any centroid.
    const Errors broad = sweep(1.5, 0.8, 40000, 8);
    EXPECT_LT(broad.fit_rms, 0.03);
    // A faint star (signal-to-noise about 20) still comes out within a few tenths.
    const Errors faint = sweep(0.6, 0.4, 2500, 8);
    EXPECT_LT(faint.fit_rms, 0.2);
}

TEST(StarFit, RefusesABoxWithoutAStar) {
    std::mt19937 rng(3);
    const auto sky = star_frame(30, 20, 1, 1, 0, 8, rng);
    const StarSignal s = measure_star(sky.data(), kWidth, kHeight, 30, 20, 8);
    double fx = -1, fy = -1;
    EXPECT_FALSE(fit_star_centre(sky.data(), kWidth, kHeight, s, fx, fy));
    EXPECT_EQ(fx, -1);
    EXPECT_EQ(fy, -1);
}

}  // namespace
}  // namespace kvr::test
