#include "guiding/star_fit.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kvr {

namespace {

// Half size of the square whose row and column sums are fitted, px: the star and the spill of
// its light into four pixels either side.
constexpr int kFitRadius = 4;
constexpr int kFitSide = 2 * kFitRadius + 1;
// Widths (sigma, px) tried: from a star well inside one pixel to a badly defocused one.
constexpr double kNarrowest = 0.12;
constexpr double kWidest = 4.0;
constexpr int kWidthSteps = 16;
// Centres tried around the starting point, px either side, and the grid's step.
constexpr double kCentreReach = 1.5;
constexpr double kCentreStep = 0.1;
// A fitted centre further than this from the starting point is not the star's.
constexpr double kMostShift = 1.5;

double normal_cdf(double z) {
    return 0.5 * std::erfc(-z * M_SQRT1_2);
}

// One axis: the sky-subtracted sums of the pixels at positions first … first + n − 1.
struct Profile {
    std::array<double, kFitSide> sum{};
    int first = 0;
    int n = 0;
};

// Squared misfit of the best amplitude and floor for a profile centred at `mu` with width
// `sigma`; `amplitude` receives the fitted light.
double misfit(const Profile& p, double mu, double sigma, double& amplitude) {
    std::array<double, kFitSide> b{};
    double sb = 0, sbb = 0, sp = 0, sbp = 0;
    for (int i = 0; i < p.n; ++i) {
        const double x = p.first + i;
        b[i] = normal_cdf((x + 0.5 - mu) / sigma) - normal_cdf((x - 0.5 - mu) / sigma);
        sb += b[i];
        sbb += b[i] * b[i];
        sp += p.sum[i];
        sbp += b[i] * p.sum[i];
    }
    // Least squares for amplitude · b + floor.
    const double det = sbb * p.n - sb * sb;
    if (std::abs(det) < 1e-12) return INFINITY;
    amplitude = (sbp * p.n - sb * sp) / det;
    const double floor = (sbb * sp - sb * sbp) / det;
    double e = 0;
    for (int i = 0; i < p.n; ++i) {
        const double r = p.sum[i] - amplitude * b[i] - floor;
        e += r * r;
    }
    return amplitude > 0 ? e : INFINITY;
}

// The centre of the profile's star, searched on a grid of centres and widths about `start`,
// then refined by halving steps. False when no positive profile fits.
bool fit_axis(const Profile& p, double start, double& centre) {
    const double width_ratio = std::pow(kWidest / kNarrowest, 1.0 / (kWidthSteps - 1));
    double best = INFINITY, mu = start, sigma = 1.0, amplitude = 0;
    for (double m = start - kCentreReach; m <= start + kCentreReach + 1e-9; m += kCentreStep) {
        double s = kNarrowest;
        for (int k = 0; k < kWidthSteps; ++k, s *= width_ratio) {
            const double e = misfit(p, m, s, amplitude);
            if (e < best) {
                best = e;
                mu = m;
                sigma = s;
            }
        }
    }
    if (!std::isfinite(best)) return false;
    double step = kCentreStep / 2, scale = std::sqrt(width_ratio);
    for (int round = 0; round < 14; ++round) {
        for (const double m : {mu - step, mu + step}) {
            const double e = misfit(p, m, sigma, amplitude);
            if (e < best) best = e, mu = m;
        }
        for (const double s : {sigma / scale, sigma * scale}) {
            const double e = s >= kNarrowest / 2 ? misfit(p, mu, s, amplitude) : INFINITY;
            if (e < best) best = e, sigma = s;
        }
        step /= 2;
        scale = std::sqrt(scale);
    }
    if (std::abs(mu - start) > kMostShift) return false;
    centre = mu;
    return true;
}

}  // namespace

bool fit_star_centre(const uint16_t* frame, int width, int height, const StarSignal& s, double& fx,
                     double& fy) {
    if (!holds_star(s)) return false;
    const int x = static_cast<int>(std::lround(s.cx)), y = static_cast<int>(std::lround(s.cy));
    const int x0 = std::max(0, x - kFitRadius), x1 = std::min(width - 1, x + kFitRadius);
    const int y0 = std::max(0, y - kFitRadius), y1 = std::min(height - 1, y + kFitRadius);
    // Three pixels a side at least: a centre and its two neighbours.
    if (x1 - x0 < 2 || y1 - y0 < 2) return false;
    Profile across, down;
    across.first = x0;
    across.n = x1 - x0 + 1;
    down.first = y0;
    down.n = y1 - y0 + 1;
    for (int j = y0; j <= y1; ++j) {
        for (int i = x0; i <= x1; ++i) {
            const double v = frame[j * width + i] - s.background;
            across.sum[i - x0] += v;
            down.sum[j - y0] += v;
        }
    }
    double cx = 0, cy = 0;
    if (!fit_axis(across, s.cx, cx) || !fit_axis(down, s.cy, cy)) return false;
    fx = cx;
    fy = cy;
    return true;
}

}  // namespace kvr
