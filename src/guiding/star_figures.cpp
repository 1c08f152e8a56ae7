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

// Where along the row from the peak column the profile falls to `level`, by linear
// interpolation between the last column above it and the first at or below it (`step` ±1).
double half_crossing(const Frame& f, int peak_x, int y, int step, int reach, double level) {
    int x = peak_x;
    for (int n = 0; n < reach; ++n) {
        const int next = x + step;
        if (!f.inside(next, y)) break;
        const double a = f.above_sky(x, y), b = f.above_sky(next, y);
        if (b <= level) return x + step * (a - level) / std::max(a - b, 1e-9);
        x = next;
    }
    return x;
}

// The top of the row's profile: the Gaussian through the peak pixel and its two neighbours
// (a star centred between columns is brighter than its brightest pixel, and half of that pixel
// would widen the FWHM), or the peak pixel itself where no such Gaussian fits.
double row_peak(const Frame& f, int x, int y) {
    const double mid = f.above_sky(x, y);
    if (!f.inside(x - 1, y) || !f.inside(x + 1, y)) return mid;
    const double left = f.above_sky(x - 1, y), right = f.above_sky(x + 1, y);
    if (left <= 0 || right <= 0 || mid <= 0) return mid;
    const double a = std::log(left), b = std::log(mid), c = std::log(right);
    const double curve = a - 2 * b + c;
    if (curve >= 0) return mid;
    const double offset = 0.5 * (a - c) / curve;  // columns from x, within ±0.5
    return std::exp(b - 0.25 * (a - c) * offset);
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
    const double half = row_peak(fr, px, py) / 2;
    rad = std::clamp(rad, 1, kMaxCentroidRadius);
    f.fwhm_px = half_crossing(fr, px, py, +1, rad, half) - half_crossing(fr, px, py, -1, rad, half);
    // Three widths hold all but a trace of a star's light; further out is only sky noise.
    const double reach = std::clamp(3 * f.fwhm_px, 3.0, double(rad));
    f.hfd_px = 2 * half_flux_radius(fr, f.signal.cx, f.signal.cy, reach, row_aspect);
    for (int i = 0; i < StarFigures::kProfileLength; ++i) {
        const int col = px - StarFigures::kProfileHalf + i;
        f.profile[i] = fr.inside(col, py) ? static_cast<float>(fr.above_sky(col, py)) : 0.0f;
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
