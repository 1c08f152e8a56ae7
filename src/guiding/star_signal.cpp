#include "guiding/star_signal.h"

#include <algorithm>
#include <cmath>

#include "guiding/centroid.h"

namespace kvr {

namespace {

constexpr int kMaxSide = 2 * kMaxCentroidRadius + 1;
constexpr int kMaxRing = 4 * kMaxSide;
// The rms of a normal deviate is 1.4826 times its median absolute deviation.
constexpr double kMadToRms = 1.4826;
// Half size of the square the flux is summed over, px: a star of the worst seeing here (5″ on
// 1.8″ columns) has nearly all its light within it.
constexpr int kApertureRadius = 4;

// Median of the first n values (partially reorders them).
double median_of(double* v, int n) {
    std::nth_element(v, v + n / 2, v + n);
    return v[n / 2];
}

}  // namespace

StarSignal measure_star(const uint16_t* frame, int width, int height, int x, int y, int rad) {
    StarSignal s;
    rad = std::clamp(rad, 1, kMaxCentroidRadius);
    const int x0 = std::max(0, x - rad), x1 = std::min(width - 1, x + rad);
    const int y0 = std::max(0, y - rad), y1 = std::min(height - 1, y + rad);
    if (x1 - x0 < 2 || y1 - y0 < 2) return s;
    // The outer ring is sky: the box is centred on the star and several star widths wide.
    double ring[kMaxRing];
    int n = 0;
    for (int i = x0; i <= x1; ++i) {
        ring[n++] = frame[y0 * width + i];
        ring[n++] = frame[y1 * width + i];
    }
    for (int j = y0 + 1; j < y1; ++j) {
        ring[n++] = frame[j * width + x0];
        ring[n++] = frame[j * width + x1];
    }
    s.background = median_of(ring, n);
    for (int i = 0; i < n; ++i) ring[i] = std::abs(ring[i] - s.background);
    s.noise = std::max(1.0, kMadToRms * median_of(ring, n));
    // The flux is summed close around the star, so that a neighbour further out in the box
    // does not count as the guide star's light.
    const int ax0 = std::max(x0 + 1, x - kApertureRadius),
              ax1 = std::min(x1 - 1, x + kApertureRadius);
    const int ay0 = std::max(y0 + 1, y - kApertureRadius),
              ay1 = std::min(y1 - 1, y + kApertureRadius);
    int pixels = 0;
    double weight = 0, wx = 0, wy = 0;
    const double floor = 2 * s.noise;
    for (int j = ay0; j <= ay1; ++j) {
        for (int i = ax0; i <= ax1; ++i) {
            const double v = frame[j * width + i] - s.background;
            s.flux += v;
            s.peak = std::max(s.peak, v);
            ++pixels;
            if (v > floor) {
                weight += v;
                wx += v * i;
                wy += v * j;
            }
        }
    }
    s.cx = weight > 0 ? wx / weight : x;
    s.cy = weight > 0 ? wy / weight : y;
    s.snr = s.flux / (s.noise * std::sqrt(double(std::max(pixels, 1))));
    return s;
}

}  // namespace kvr
