#include "sim/psf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sim/whole.h"

namespace kvr::sim {

namespace {

constexpr int kCdfNodes = static_cast<int>(2 * kCdfRange) * kCdfNodesPerUnit + 1;

const std::array<double, kCdfNodes>& cdf_table() {
    static const std::array<double, kCdfNodes> table = [] {
        std::array<double, kCdfNodes> t{};
        for (int i = 0; i < kCdfNodes; ++i) {
            const double z = -kCdfRange + static_cast<double>(i) / kCdfNodesPerUnit;
            t[i] = 0.5 * std::erfc(-z / std::sqrt(2.0));
        }
        return t;
    }();
    return table;
}

// Four floats in one 16-byte vector: the stamp's rows in steps of four on any processor.
using f32x4 = float __attribute__((vector_size(16)));

inline f32x4 load_f32x4(const float* p) {
    f32x4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The grid indices from floor(lo) to floor(hi) (pixel positions along one axis), clipped to the
// grid's [start, start + count); first > last when none is on it.
void clip_pixels(double lo, double hi, int start, int count, int& first, int& last) {
    const double f = std::max(floor_of(lo), static_cast<double>(start));
    const double l = std::min(floor_of(hi), static_cast<double>(start + count - 1));
    first = static_cast<int>(std::min(f, static_cast<double>(start + count)));
    last = static_cast<int>(std::max(l, static_cast<double>(start - 1)));
}

// Light of a unit-flux Gaussian of width `sigma` centred at `centre` on each pixel
// [origin + i·pitch, … + size) for i in [first, last]: the distribution function at both edges
// of each pixel, all evaluated at once.
void pixel_integrals(float* out, int first, int last, double origin, double pitch, double size,
                     double centre, double sigma, double scale) {
    const double inv = 1.0 / sigma;
    const int n = last - first + 1;
    std::array<double, kMaxStampSpan> left_z, right_z, left_cdf, right_cdf;
    for (int k = 0; k < n; ++k) {
        const double left = origin + (first + k) * pitch;
        left_z[k] = (left - centre) * inv;
        right_z[k] = (left + size - centre) * inv;
    }
    normal_cdfs(right_z.data(), n, right_cdf.data());
    // Abutting pixels share their edges: each right edge's value serves the next pixel's left.
    if (size == pitch) {
        left_cdf[0] = normal_cdf(left_z[0]);
        std::copy_n(right_cdf.data(), n - 1, left_cdf.data() + 1);
    } else {
        normal_cdfs(left_z.data(), n, left_cdf.data());
    }
    for (int k = 0; k < n; ++k) out[k] = static_cast<float>(scale * (right_cdf[k] - left_cdf[k]));
}

// pixel_integrals of the core (into core, times core_scale) and of the halo.
void profile_integrals(float* core, float* halo, int first, int last, double origin, double pitch,
                       double size, double centre, const Psf& psf, double core_scale,
                       double halo_scale) {
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) {
        float* const out[2] = {core, halo};
        const double sigma[2] = {psf.core_sigma_px, psf.halo_sigma_px};
        const double scale[2] = {core_scale, halo_scale};
        return profile_integrals_avx2(out, first, last - first + 1, origin, pitch, size, centre,
                                      sigma, scale, cdf_table().data());
    }
#endif
    pixel_integrals(core, first, last, origin, pitch, size, centre, psf.core_sigma_px, core_scale);
    pixel_integrals(halo, first, last, origin, pitch, size, centre, psf.halo_sigma_px, halo_scale);
}

}  // namespace

Psf Psf::from(const ObservingConditions& conditions) {
    const double fwhm = std::max(kSmallestFwhmPx,
                                 std::hypot(conditions.seeing_fwhm_px, conditions.defocus_fwhm_px));
    Psf p;
    p.core_sigma_px = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    p.halo_sigma_px = kHaloWidthRatio * p.core_sigma_px;
    p.radius_px = std::min(kLargestRadiusPx, 4.0 * p.halo_sigma_px);
    return p;
}

double normal_cdf(double z) {
    if (!(z > -kCdfRange)) return 0.0;  // also NaN
    if (z >= kCdfRange) return 1.0;
    const double pos = (z + kCdfRange) * kCdfNodesPerUnit;
    const int i = std::min(static_cast<int>(pos), kCdfLastInterval);
    const double frac = pos - i;
    const auto& t = cdf_table();
    return t[i] + (t[i + 1] - t[i]) * frac;
}

void normal_cdfs(const double* z, int n, double* out) {
    int k = 0;
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) k = normal_cdfs_avx2(z, n, cdf_table().data(), out);
#endif
    for (; k < n; ++k) out[k] = normal_cdf(z[k]);
}

namespace {

// The grid's pixels [c_first, c_last] × [r_first, r_last] of a stamp over the pixel positions
// (counted from the grid's origin) [x_lo, x_hi] × [y_lo, y_hi]; false when it reaches none, or
// when the star's position or flux is not a number or not positive.
bool stamp_pixels(const PixelGrid& g, double x_lo, double x_hi, double y_lo, double y_hi,
                  double flux, int& c_first, int& c_last, int& r_first, int& r_last) {
    if (!std::isfinite(x_lo + x_hi) || !std::isfinite(y_lo + y_hi) || !(flux > 0)) return false;
    clip_pixels(x_lo, x_hi, g.col0, g.cols, c_first, c_last);
    clip_pixels(y_lo, y_hi, g.row0, g.rows, r_first, r_last);
    if (c_first > c_last || r_first > r_last) return false;
    c_last = std::min(c_last, c_first + kMaxStampSpan - 1);
    r_last = std::min(r_last, r_first + kMaxStampSpan - 1);
    return true;
}

// The grid's pixels that the stamp of a star at (x, y) covers.
bool stamp_extent(const PixelGrid& g, const Psf& psf, double x, double y, double flux, int& c_first,
                  int& c_last, int& r_first, int& r_last) {
    const double r = psf.radius_px;
    return stamp_pixels(g, (x - r - g.origin_x) / g.pitch_x, (x + r - g.origin_x) / g.pitch_x,
                        (y - r - g.origin_y) / g.pitch_y, (y + r - g.origin_y) / g.pitch_y, flux,
                        c_first, c_last, r_first, r_last);
}

// The stamp's light factors: pixel (c, r) receives core_y[r − r_first]·core_x[c − c_first] +
// halo_y[…]·halo_x[…], the flux being in the rows' factors. Each array has room for its span
// rounded up to a multiple of four.
void stamp_factors(const PixelGrid& g, const Psf& psf, double x, double y, double flux, int c_first,
                   int c_last, int r_first, int r_last, float* core_x, float* halo_x, float* core_y,
                   float* halo_y) {
    profile_integrals(core_x, halo_x, c_first, c_last, g.origin_x, g.pitch_x, g.size_x, x, psf, 1.0,
                      1.0);
    profile_integrals(core_y, halo_y, r_first, r_last, g.origin_y, g.pitch_y, g.size_y, y, psf,
                      flux * (1.0 - psf.halo_fraction), flux * psf.halo_fraction);
}

// One row of a stamp: row[i] += cy·core_x[i] + hy·halo_x[i] for i < span.
void add_stamp_row(float* row, const float* core_x, const float* halo_x, int span, float cy,
                   float hy) {
    int i = 0;
    const f32x4 cy4 = {cy, cy, cy, cy};
    const f32x4 hy4 = {hy, hy, hy, hy};
    for (; i + 4 <= span; i += 4) {
        f32x4 v = load_f32x4(row + i);
        v += cy4 * load_f32x4(core_x + i) + hy4 * load_f32x4(halo_x + i);
        std::memcpy(row + i, &v, sizeof v);
    }
    for (; i < span; ++i) row[i] += cy * core_x[i] + hy * halo_x[i];
}

constexpr int round_up(int n, int multiple) {
    return (n + multiple - 1) / multiple * multiple;
}

}  // namespace

void add_star(float* plane, const PixelGrid& g, const Psf& psf, double x, double y, double flux) {
    int c_first, c_last, r_first, r_last;
    if (!stamp_extent(g, psf, x, y, flux, c_first, c_last, r_first, r_last)) return;
    std::array<float, round_up(kMaxStampSpan, 4)> core_x, halo_x, core_y, halo_y;
    stamp_factors(g, psf, x, y, flux, c_first, c_last, r_first, r_last, core_x.data(),
                  halo_x.data(), core_y.data(), halo_y.data());
    const int span = c_last - c_first + 1;
    for (int r = r_first; r <= r_last; ++r) {
        float* row = plane + static_cast<std::ptrdiff_t>(r - g.row0) * g.cols + (c_first - g.col0);
        add_stamp_row(row, core_x.data(), halo_x.data(), span, core_y[r - r_first],
                      halo_y[r - r_first]);
    }
}

namespace {

// Positions of the star's centre per pixel in a profile table: enough that the cubic
// interpolation's error, about 0.025·(pitch/(sigma·phases))⁴ of the flux, stays below 5e-7.
int table_phases(double pitch, double sigma) {
    return std::clamp(static_cast<int>(std::ceil(16.0 * pitch / sigma)), 8, 4096);
}

}  // namespace

void StarImages::Axis::prepare(double origin_px, double pitch, double size, const Psf& psf) {
    origin = origin_px;
    per_pitch = 1.0 / pitch;
    phases = table_phases(pitch, psf.core_sigma_px);
    // A stamp reaches the pixels within its radius of the centre: at most this many either side.
    const int reach = static_cast<int>(std::ceil(psf.radius_px / pitch)) + 1;
    k_lo = -reach;
    width = round_up(2 * reach + 1, 4);
    const size_t row = static_cast<size_t>(width) + 8;
    core.assign(row * (phases + 3), 0.0f);
    halo.assign(row * (phases + 3), 0.0f);
    // Pixel k's left edge lies k_lo + k − phase pixels from the centre; abutting pixels share
    // their edges.
    const bool abutting = size == pitch;
    const size_t edges = abutting ? width + 1 : 2 * static_cast<size_t>(width);
    if (z.size() < edges) {
        z.resize(edges);
        cdf.resize(edges);
    }
    const double per_sigma[2] = {1.0 / psf.core_sigma_px, 1.0 / psf.halo_sigma_px};
    std::vector<float>* out[2] = {&core, &halo};
    for (int n = -1; n <= phases + 1; ++n) {
        const double phase = static_cast<double>(n) / phases;
        for (int p = 0; p < 2; ++p) {
            for (int k = 0; k <= width; ++k) {
                const double left = (k_lo + k - phase) * pitch;
                if (abutting) {
                    z[k] = left * per_sigma[p];
                } else if (k < width) {
                    z[2 * k] = left * per_sigma[p];
                    z[2 * k + 1] = (left + size) * per_sigma[p];
                }
            }
            normal_cdfs(z.data(), static_cast<int>(edges), cdf.data());
            float* values = out[p]->data() + static_cast<size_t>(n + 1) * row;
            const int step = abutting ? 1 : 2;
            for (int k = 0; k < width; ++k)
                values[k] = static_cast<float>(cdf[step * k + 1] - cdf[step * k]);
        }
    }
}

void StarImages::Axis::locate(double centre, int first, int last, ProfileSpan& span) const {
    const double pos = (centre - origin) * per_pitch;
    const double own = floor_of(pos);
    const double t = (pos - own) * phases;
    const int n = std::min(static_cast<int>(t), phases - 1);
    const double u = t - n;
    // Lagrange weights of the positions n − 1 … n + 2 (table rows n … n + 3).
    const double sixth = 1.0 / 6.0;
    span.weight[0] = static_cast<float>(-u * (u - 1) * (u - 2) * sixth);
    span.weight[1] = static_cast<float>((u + 1) * (u - 1) * (u - 2) * 0.5);
    span.weight[2] = static_cast<float>(-(u + 1) * u * (u - 2) * 0.5);
    span.weight[3] = static_cast<float>((u + 1) * u * (u - 1) * sixth);
    span.stride = static_cast<size_t>(width) + 8;
    const size_t from = static_cast<size_t>(n) * span.stride +
                        static_cast<size_t>(first - static_cast<int>(own) - k_lo);
    span.core = core.data() + from;
    span.halo = halo.data() + from;
    span.count = last - first + 1;
}

void StarImages::prepare(const PixelGrid& grid, const Psf& psf) {
    grid_ = grid;
    psf_ = psf;
    x_.prepare(grid.origin_x, grid.pitch_x, grid.size_x, psf);
    y_.prepare(grid.origin_y, grid.pitch_y, grid.size_y, psf);
}

bool StarImages::image(double x, double y, double flux, Image& image) const {
    image.x = x;
    image.y = y;
    image.flux = flux;
    const double r = psf_.radius_px;
    return stamp_pixels(grid_, (x - r - x_.origin) * x_.per_pitch,
                        (x + r - x_.origin) * x_.per_pitch, (y - r - y_.origin) * y_.per_pitch,
                        (y + r - y_.origin) * y_.per_pitch, flux, image.c_first, image.c_last,
                        image.r_first, image.r_last);
}

void StarImages::add(const RowStore& store, const Image& image) const {
    ProfileSpan x, y;
    x_.locate(image.x, image.c_first, image.c_last, x);
    x.core_scale = x.halo_scale = 1.0f;
    y_.locate(image.y, image.r_first, image.r_last, y);
    y.core_scale = static_cast<float>(image.flux * (1.0 - psf_.halo_fraction));
    y.halo_scale = static_cast<float>(image.flux * psf_.halo_fraction);
    draw_profile_stamp(x, y, store, image.r_first - grid_.row0, image.c_first - grid_.col0);
}

namespace {

// A ProfileSpan's factors into core and halo, zero on to the next multiple of eight.
void interpolate(const ProfileSpan& s, float* core, float* halo) {
    const f32x4 zero{};
    const f32x4 lane = {0, 1, 2, 3};
    const float* tables[2] = {s.core, s.halo};
    const float scales[2] = {s.core_scale, s.halo_scale};
    float* out[2] = {core, halo};
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < s.count; i += 4) {
            const float* r = tables[p] + i;
            f32x4 v = s.weight[0] * load_f32x4(r);
            v += s.weight[1] * load_f32x4(r + s.stride);
            v += s.weight[2] * load_f32x4(r + 2 * s.stride);
            v += s.weight[3] * load_f32x4(r + 3 * s.stride);
            v = (v > zero ? v : zero) * scales[p];
            v = lane + static_cast<float>(i) < static_cast<float>(s.count) ? v : zero;
            std::memcpy(out[p] + i, &v, sizeof v);
        }
        std::fill(out[p] + round_up(s.count, 4), out[p] + round_up(s.count, 8), 0.0f);
    }
}

}  // namespace

void draw_profile_stamp(const ProfileSpan& x, const ProfileSpan& y, const RowStore& store,
                        int first_row, int col) {
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) return draw_profile_stamp_avx2(x, y, store, first_row, col);
#endif
    std::array<float, round_up(kMaxStampSpan, 8)> core_x, halo_x, core_y, halo_y;
    interpolate(x, core_x.data(), halo_x.data());
    interpolate(y, core_y.data(), halo_y.data());
    // The factors past the stamp are zero: whole vectors of eight add nothing there.
    const int width = round_up(x.count, 8);
    int slot = first_row % store.count;
    for (int j = 0; j < y.count; ++j, slot = slot + 1 == store.count ? 0 : slot + 1) {
        float* row = store.rows + static_cast<std::ptrdiff_t>(slot) * store.stride + col;
        add_stamp_row(row, core_x.data(), halo_x.data(), width, core_y[j], halo_y[j]);
    }
}

}  // namespace kvr::sim
