#include "guiding/star_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "guiding/centroid.h"
#include "guiding/guide_errors.h"

namespace kvr {

namespace {

// The peak is looked for this close around the centre of the light (px), so that a brighter
// neighbour further out in the box is not taken for the star.
constexpr int kPeakReach = 3;

constexpr Argb kProfileBack = argb(0, 0, 0);
constexpr Argb kProfileBar = argb(0, 200, 0);
constexpr Argb kHalfLevel = argb(255, 255, 0);
constexpr Argb kProfileFrame = argb(128, 128, 128);

struct Frame {
    const uint16_t* pixels;
    int width, height;
    double sky;
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    double above_sky(int x, int y) const { return pixels[y * width + x] - sky; }
};

// The star's light across the columns: each column summed over the rows within `rows` of
// `y`. For a round star this has the star's own width, and one altered pixel (a hot-pixel filter,
// a cosmic ray) cannot reshape it as it would a single row. Columns off the frame hold 0.
void column_profile(const Frame& f, int x0, int y, int rows, double* out, int n) {
    for (int i = 0; i < n; ++i) {
        out[i] = 0;
        for (int j = y - rows; j <= y + rows; ++j)
            if (f.inside(x0 + i, j)) out[i] += f.above_sky(x0 + i, j);
    }
}

// The top of a profile around index k: the Gaussian through it and its two neighbours (a star
// centred between columns is brighter than its brightest column, and half of that column would
// widen the FWHM), or the value at k where no such Gaussian fits.
double profile_top(const double* v, int n, int k) {
    if (k <= 0 || k >= n - 1 || v[k - 1] <= 0 || v[k] <= 0 || v[k + 1] <= 0) return v[k];
    const double a = std::log(v[k - 1]), b = std::log(v[k]), c = std::log(v[k + 1]);
    const double curve = a - 2 * b + c;
    if (curve >= 0) return v[k];
    const double offset = 0.5 * (a - c) / curve;  // within ±0.5 of k
    return std::exp(b - 0.25 * (a - c) * offset);
}

// Where the profile falls to `level` going from index k by `step` (±1), by linear interpolation
// between the last value above it and the first at or below it.
double level_crossing(const double* v, int n, int k, int step, double level) {
    for (int i = k; i + step >= 0 && i + step < n; i += step)
        if (v[i + step] <= level)
            return i + step * (v[i] - level) / std::max(v[i] - v[i + step], 1e-9);
    return step > 0 ? n - 1 : 0;
}

// Radius (columns) within which half the light of the pixels up to `reach` from the centre lies.
// Each pixel's light is spread over kSplit × kSplit parts at their own distances: counted at its
// centre, the few bright pixels of a sharp star would make the radius jump by whole pixels. The
// sky's noise cancels out in the sums, so negative pixels count as they are.
double half_flux_radius(const Frame& f, double cx, double cy, double reach, double row_aspect) {
    constexpr int kSplit = 4;
    static thread_local std::vector<std::pair<double, double>> parts;
    parts.clear();
    double total = 0;
    const int rx = static_cast<int>(std::ceil(reach));
    const int ry = static_cast<int>(std::ceil(reach / row_aspect));
    const int x0 = static_cast<int>(std::lround(cx)), y0 = static_cast<int>(std::lround(cy));
    for (int y = y0 - ry; y <= y0 + ry; ++y) {
        for (int x = x0 - rx; x <= x0 + rx; ++x) {
            if (!f.inside(x, y) || std::hypot(x - cx, (y - cy) * row_aspect) > reach) continue;
            const double v = f.above_sky(x, y) / (kSplit * kSplit);
            for (int j = 0; j < kSplit; ++j)
                for (int i = 0; i < kSplit; ++i) {
                    const double dx = x - 0.5 + (i + 0.5) / kSplit - cx;
                    const double dy = (y - 0.5 + (j + 0.5) / kSplit - cy) * row_aspect;
                    parts.emplace_back(std::hypot(dx, dy), v);
                }
            total += f.above_sky(x, y);
        }
    }
    if (total <= 0) return 0;
    std::sort(parts.begin(), parts.end());
    double sum = 0, last_r = 0;
    for (const auto& [r, v] : parts) {
        if (sum + v >= total / 2 && v > 0) return last_r + (r - last_r) * (total / 2 - sum) / v;
        sum += v;
        last_r = r;
    }
    return last_r;
}

}  // namespace

StarFigures measure_star_figures(const uint16_t* frame, int width, int height, int x, int y,
                                 int rad, double row_aspect) {
    StarFigures f;
    f.signal = measure_star(frame, width, height, x, y, rad);
    f.star = holds_star(f.signal);
    if (!f.star) return f;
    const Frame fr{frame, width, height, f.signal.background};
    const int cx = static_cast<int>(std::lround(f.signal.cx));
    const int cy = static_cast<int>(std::lround(f.signal.cy));
    int px = cx, py = cy;
    for (int j = cy - kPeakReach; j <= cy + kPeakReach; ++j)
        for (int i = cx - kPeakReach; i <= cx + kPeakReach; ++i)
            if (fr.inside(i, j) && fr.above_sky(i, j) > fr.above_sky(px, py)) px = i, py = j;
    rad = std::clamp(rad, 1, kMaxCentroidRadius);
    // Rows within about three columns of the peak's row carry nearly all of a sharp star's light.
    const int rows = std::max(1, static_cast<int>(std::lround(3 / row_aspect)));
    double across[2 * kMaxCentroidRadius + 1];
    const int n = 2 * rad + 1;
    column_profile(fr, px - rad, py, rows, across, n);
    int k = rad;
    for (int i = rad - 1; i <= rad + 1; ++i)
        if (across[i] > across[k]) k = i;
    const double half = profile_top(across, n, k) / 2;
    f.fwhm_px = level_crossing(across, n, k, +1, half) - level_crossing(across, n, k, -1, half);
    // Three widths hold all but a trace of a star's light; further out is only sky noise.
    const double reach = std::clamp(3 * f.fwhm_px, 3.0, double(rad));
    f.hfd_px = 2 * half_flux_radius(fr, f.signal.cx, f.signal.cy, reach, row_aspect);
    for (int i = 0; i < StarFigures::kProfileLength; ++i) {
        const int at = k - StarFigures::kProfileHalf + i;
        f.profile[i] = at >= 0 && at < n ? static_cast<float>(across[at]) : 0.0f;
    }
    return f;
}

double arcsec_per_column(const Program& p) {
    return plate_scale_in_use(p);
}

std::string width_text(double px, double arcsec_per_px) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f px %.1f\u2033", px, px * arcsec_per_px);
    return text;
}

void draw_star_profile(const StarFigures& f, Canvas& c, int x0, int y0, int w, int h) {
    c.fill_rect(x0, y0, x0 + w, y0 + h, kProfileBack);
    c.frame_rect(x0 - 1, y0 - 1, x0 + w + 1, y0 + h + 1, kProfileFrame);
    if (!f.star) return;
    const float peak = *std::max_element(std::begin(f.profile), std::end(f.profile));
    if (peak <= 0) return;
    const int bar = w / StarFigures::kProfileLength;
    const int left = x0 + (w - bar * StarFigures::kProfileLength) / 2;
    for (int i = 0; i < StarFigures::kProfileLength; ++i) {
        const int tall =
            static_cast<int>(std::lround(std::max(0.0f, f.profile[i]) / peak * (h - 2)));
        if (tall > 0)
            c.fill_rect(left + i * bar, y0 + h - tall, left + (i + 1) * bar - 1, y0 + h,
                        kProfileBar);
    }
    const int half_y = y0 + h - (h - 2) / 2;
    c.line(x0, half_y, x0 + w, half_y, kHalfLevel);
}

}  // namespace kvr
