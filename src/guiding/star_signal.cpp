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
    int pixels = 0;
    for (int j = y0 + 1; j < y1; ++j) {
        for (int i = x0 + 1; i < x1; ++i) {
            const double v = frame[j * width + i] - s.background;
            s.flux += v;
            s.peak = std::max(s.peak, v);
            ++pixels;
        }
    }
    s.snr = s.flux / (s.noise * std::sqrt(double(std::max(pixels, 1))));
    return s;
}

}  // namespace kvr
