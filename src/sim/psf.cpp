#include "sim/psf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace kvr::sim {

namespace {

constexpr int kCdfNodes = static_cast<int>(2 * kCdfRange) * kCdfNodesPerUnit + 1;

// Widest stamp in pixels: a full stamp of the largest radius on a grid of unit pitch, plus the
// partly covered pixels at both ends.
constexpr int kMaxStampSpan = static_cast<int>(2 * Psf::kLargestRadiusPx) + 3;

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

// First and last grid index whose pixel overlaps [lo, hi] along one axis, clipped to the grid;
// first > last when none does.
void overlap(double lo, double hi, double origin, double pitch, int start, int count, int& first,
             int& last) {
    const double f = std::max(std::floor((lo - origin) / pitch), static_cast<double>(start));
    const double l =
        std::min(std::floor((hi - origin) / pitch), static_cast<double>(start + count - 1));
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

void add_star(float* plane, const PixelGrid& g, const Psf& psf, double x, double y, double flux) {
    if (!std::isfinite(x) || !std::isfinite(y) || !(flux > 0)) return;
    int c_first, c_last, r_first, r_last;
    overlap(x - psf.radius_px, x + psf.radius_px, g.origin_x, g.pitch_x, g.col0, g.cols, c_first,
            c_last);
    overlap(y - psf.radius_px, y + psf.radius_px, g.origin_y, g.pitch_y, g.row0, g.rows, r_first,
            r_last);
    if (c_first > c_last || r_first > r_last) return;
    c_last = std::min(c_last, c_first + kMaxStampSpan - 1);
    r_last = std::min(r_last, r_first + kMaxStampSpan - 1);

    std::array<float, kMaxStampSpan> core_x, halo_x, core_y, halo_y;
    pixel_integrals(core_x.data(), c_first, c_last, g.origin_x, g.pitch_x, g.size_x, x,
                    psf.core_sigma_px, 1.0);
    pixel_integrals(halo_x.data(), c_first, c_last, g.origin_x, g.pitch_x, g.size_x, x,
                    psf.halo_sigma_px, 1.0);
    pixel_integrals(core_y.data(), r_first, r_last, g.origin_y, g.pitch_y, g.size_y, y,
                    psf.core_sigma_px, flux * (1.0 - psf.halo_fraction));
    pixel_integrals(halo_y.data(), r_first, r_last, g.origin_y, g.pitch_y, g.size_y, y,
                    psf.halo_sigma_px, flux * psf.halo_fraction);

    const int span = c_last - c_first + 1;
    for (int r = r_first; r <= r_last; ++r) {
        float* row = plane + static_cast<std::ptrdiff_t>(r - g.row0) * g.cols + (c_first - g.col0);
        const float cy = core_y[r - r_first];
        const float hy = halo_y[r - r_first];
        int i = 0;
        const f32x4 cy4 = {cy, cy, cy, cy};
        const f32x4 hy4 = {hy, hy, hy, hy};
        for (; i + 4 <= span; i += 4) {
            f32x4 v = load_f32x4(row + i);
            v += cy4 * load_f32x4(core_x.data() + i) + hy4 * load_f32x4(halo_x.data() + i);
            std::memcpy(row + i, &v, sizeof v);
        }
        for (; i < span; ++i) row[i] += cy * core_x[i] + hy * halo_x[i];
    }
}

}  // namespace kvr::sim
