// The star figures against stars of known shape: a round Gaussian has its half-flux diameter
// equal to its FWHM, on square pixels and on rows two columns tall alike; a box of sky holds no
// star and no figures.
#include "guiding/star_figures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kvr::test {
namespace {

constexpr int kW = 64, kH = 64;
constexpr double kSky = 500, kPeak = 20000;

// A Gaussian of the given FWHM (columns) at (cx, cy), rows `aspect` columns tall, on a flat sky
// with a little deterministic noise.
std::vector<uint16_t> star_frame(double fwhm, double cx, double cy, double aspect) {
    const double sigma = fwhm / (2 * std::sqrt(2 * std::log(2.0)));
    std::vector<uint16_t> f(kW * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const double r2 = std::pow(x - cx, 2) + std::pow((y - cy) * aspect, 2);
            const double noise = ((x * 7 + y * 13) % 11) - 5;
            f[y * kW + x] = static_cast<uint16_t>(
                std::lround(kSky + noise + kPeak * std::exp(-r2 / (2 * sigma * sigma))));
        }
    return f;
}

TEST(StarFiguresTest, RoundGaussianOnSquareAndTallPixels) {
    for (double aspect : {1.0, 2.0}) {
        for (double fwhm : {2.6, 4.0, 6.0}) {
            const auto f = star_frame(fwhm, 31.45, 30.6, aspect);
            const StarFigures s = measure_star_figures(f.data(), kW, kH, 31, 31, 12, aspect);
            ASSERT_TRUE(s.star) << fwhm;
            EXPECT_NEAR(s.fwhm_px, fwhm, 0.04 * fwhm) << "aspect " << aspect;
            // Rows two columns apart sample a sharp star coarsely: its HFD to a fifth.
            EXPECT_NEAR(s.hfd_px, fwhm, (aspect > 1 ? 0.2 : 0.1) * fwhm) << "aspect " << aspect;
            // The brightest sample: the pixel nearest the centre (31, 31).
            const double sigma = fwhm / (2 * std::sqrt(2 * std::log(2.0)));
            const double r2 = 0.45 * 0.45 + std::pow(0.4 * aspect, 2);
            EXPECT_NEAR(s.signal.peak, kPeak * std::exp(-r2 / (2 * sigma * sigma)), 20);
            EXPECT_GT(s.signal.snr, 100);
            // The profile is centred on the star's brightest column.
            const float mid = s.profile[StarFigures::kProfileHalf];
            EXPECT_GE(mid, s.profile[StarFigures::kProfileHalf - 1]);
            EXPECT_GE(mid, s.profile[StarFigures::kProfileHalf + 1]);
            EXPECT_LT(s.profile[0], 0.05 * mid);
        }
    }
}

TEST(StarFiguresTest, SkyAloneHoldsNoStar) {
    std::vector<uint16_t> sky(kW * kH);
    for (int i = 0; i < kW * kH; ++i) sky[i] = static_cast<uint16_t>(kSky + (i * 7919 % 13) - 6);
    const StarFigures s = measure_star_figures(sky.data(), kW, kH, 31, 31, 8, 1.0);
    EXPECT_FALSE(s.star);
    EXPECT_EQ(s.fwhm_px, 0);
    EXPECT_EQ(s.hfd_px, 0);
}

TEST(StarFiguresTest, WidthTextInPixelsAndArcseconds) {
    EXPECT_EQ(width_text(2.66, 1.8), "2.7 px 4.8\u2033");
}

}  // namespace
}  // namespace kvr::test
