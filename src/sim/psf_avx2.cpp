// The star image in AVX2 vectors: its distribution function and pixel integrals, and the stamps of
// StarImages, with the same operations in the same order as the portable loops of psf.cpp, so
// the same bits.
#include "sim/psf.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>

namespace kvr::sim {

namespace {

// normal_cdf of four values.
KVR_TARGET_AVX2 inline __attribute__((always_inline)) __m256d cdf4(__m256d v, const double* table) {
    const __m256d range = _mm256_set1_pd(kCdfRange);
    // Below the range (or NaN) 0, from its top on 1; between, the table's nodes on either side.
    const __m256d inside = _mm256_and_pd(_mm256_cmp_pd(v, _mm256_set1_pd(-kCdfRange), _CMP_GT_OQ),
                                         _mm256_cmp_pd(v, range, _CMP_LT_OQ));
    const __m256d pos = _mm256_and_pd(
        _mm256_mul_pd(_mm256_add_pd(v, range), _mm256_set1_pd(kCdfNodesPerUnit)), inside);
    const __m128i i = _mm_min_epi32(_mm256_cvttpd_epi32(pos), _mm_set1_epi32(kCdfLastInterval));
    const __m256d frac = _mm256_sub_pd(pos, _mm256_cvtepi32_pd(i));
    const __m256d zero = _mm256_setzero_pd();
    const __m256d t0 = _mm256_mask_i32gather_pd(zero, table, i, inside, 8);
    const __m256d t1 = _mm256_mask_i32gather_pd(zero, table + 1, i, inside, 8);
    const __m256d value = _mm256_add_pd(t0, _mm256_mul_pd(_mm256_sub_pd(t1, t0), frac));
    const __m256d high = _mm256_cmp_pd(v, range, _CMP_GE_OQ);
    return _mm256_blendv_pd(_mm256_and_pd(value, inside), _mm256_set1_pd(1.0), high);
}

}  // namespace

KVR_TARGET_AVX2 int normal_cdfs_avx2(const double* z, int n, const double* table, double* out) {
    int k = 0;
    for (; k + 4 <= n; k += 4) _mm256_storeu_pd(out + k, cdf4(_mm256_loadu_pd(z + k), table));
    return k;
}

KVR_TARGET_AVX2 void profile_integrals_avx2(float* const out[2], int first, int n, double origin,
                                            double pitch, double size, double centre,
                                            const double sigma[2], const double scale[2],
                                            const double* table) {
    // Both profiles at once: their edges are the same, and each one's work hides the other's
    // latency.
    const __m256d inv[2] = {_mm256_set1_pd(1.0 / sigma[0]), _mm256_set1_pd(1.0 / sigma[1])};
    const __m256d v_scale[2] = {_mm256_set1_pd(scale[0]), _mm256_set1_pd(scale[1])};
    const __m256d v_origin = _mm256_set1_pd(origin);
    const __m256d v_pitch = _mm256_set1_pd(pitch);
    const __m256d v_size = _mm256_set1_pd(size);
    const __m256d v_centre = _mm256_set1_pd(centre);
    const __m128i lane = _mm_setr_epi32(0, 1, 2, 3);
    // Left edges of the pixels from i on.
    auto left_edges = [&](int i) KVR_TARGET_AVX2 {
        const __m256d index = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(first + i), lane));
        return _mm256_add_pd(v_origin, _mm256_mul_pd(index, v_pitch));
    };
    auto store = [&](int p, int k, __m256d right, __m256d left) KVR_TARGET_AVX2 {
        const __m128 light = _mm256_cvtpd_ps(_mm256_mul_pd(v_scale[p], _mm256_sub_pd(right, left)));
        _mm_storeu_ps(out[p] + k, light);
    };
    if (size != pitch) {
        for (int k = 0; k < n; k += 4) {
            const __m256d left = left_edges(k);
            const __m256d to_right = _mm256_sub_pd(_mm256_add_pd(left, v_size), v_centre);
            const __m256d to_left = _mm256_sub_pd(left, v_centre);
            for (int p = 0; p < 2; ++p) {
                store(p, k, cdf4(_mm256_mul_pd(to_right, inv[p]), table),
                      cdf4(_mm256_mul_pd(to_left, inv[p]), table));
            }
        }
        return;
    }
    // Abutting pixels share their edges: edge 0 is pixel 0's left, edge j pixel j − 1's right.
    // Pixels k … k + 3 take edges k … k + 4: the block of edges from k and the next one's first.
    auto edges_from = [&](int j) KVR_TARGET_AVX2 {
        __m256d d = _mm256_sub_pd(_mm256_add_pd(left_edges(j - 1), v_size), v_centre);
        if (j == 0) d = _mm256_blend_pd(d, _mm256_sub_pd(left_edges(0), v_centre), 0x1);
        return d;
    };
    const __m256d d0 = edges_from(0);
    __m256d edges[2] = {cdf4(_mm256_mul_pd(d0, inv[0]), table),
                        cdf4(_mm256_mul_pd(d0, inv[1]), table)};
    for (int k = 0; k < n; k += 4) {
        const bool more = k + 4 <= n;
        const __m256d d = edges_from(k + 4);
        for (int p = 0; p < 2; ++p) {
            const __m256d next = more ? cdf4(_mm256_mul_pd(d, inv[p]), table) : _mm256_setzero_pd();
            // edges₁ edges₂ edges₃ next₀.
            const __m256d right = _mm256_blend_pd(_mm256_permute4x64_pd(edges[p], 0x39),
                                                  _mm256_permute4x64_pd(next, 0x00), 0x8);
            store(p, k, right, edges[p]);
            edges[p] = next;
        }
    }
}

namespace {

// interpolate (psf.cpp) in vectors of eight.
KVR_TARGET_AVX2 inline __attribute__((always_inline)) void interpolate8(const ProfileSpan& s,
                                                                        float* core, float* halo) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256 end = _mm256_set1_ps(static_cast<float>(s.count));
    const __m256 w0 = _mm256_set1_ps(s.weight[0]), w1 = _mm256_set1_ps(s.weight[1]);
    const __m256 w2 = _mm256_set1_ps(s.weight[2]), w3 = _mm256_set1_ps(s.weight[3]);
    const float* tables[2] = {s.core, s.halo};
    const __m256 scales[2] = {_mm256_set1_ps(s.core_scale), _mm256_set1_ps(s.halo_scale)};
    float* out[2] = {core, halo};
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < s.count; i += 8) {
            const float* r = tables[p] + i;
            __m256 v = _mm256_mul_ps(w0, _mm256_loadu_ps(r));
            v = _mm256_add_ps(v, _mm256_mul_ps(w1, _mm256_loadu_ps(r + s.stride)));
            v = _mm256_add_ps(v, _mm256_mul_ps(w2, _mm256_loadu_ps(r + 2 * s.stride)));
            v = _mm256_add_ps(v, _mm256_mul_ps(w3, _mm256_loadu_ps(r + 3 * s.stride)));
            // max(v, 0) as the portable v > 0 ? v : 0 (a NaN gives 0); past the span, 0.
            v = _mm256_mul_ps(_mm256_and_ps(v, _mm256_cmp_ps(v, zero, _CMP_GT_OQ)), scales[p]);
            const __m256 inside = _mm256_cmp_ps(
                _mm256_add_ps(lane, _mm256_set1_ps(static_cast<float>(i))), end, _CMP_LT_OQ);
            _mm256_store_ps(out[p] + i, _mm256_and_ps(v, inside));
        }
    }
}

}  // namespace

KVR_TARGET_AVX2 void draw_profile_stamp_avx2(const ProfileSpan& x, const ProfileSpan& y,
                                             const RowStore& store, int first_row, int col) {
    alignas(32) float core_x[kMaxStampSpan + 8], halo_x[kMaxStampSpan + 8];
    alignas(32) float core_y[kMaxStampSpan + 8], halo_y[kMaxStampSpan + 8];
    interpolate8(x, core_x, halo_x);
    interpolate8(y, core_y, halo_y);
    int slot = first_row % store.count;
    for (int j = 0; j < y.count; ++j, slot = slot + 1 == store.count ? 0 : slot + 1) {
        float* row = store.rows + static_cast<std::ptrdiff_t>(slot) * store.stride + col;
        const __m256 cy = _mm256_set1_ps(core_y[j]);
        const __m256 hy = _mm256_set1_ps(halo_y[j]);
        for (int i = 0; i < x.count; i += 8) {
            const __m256 light = _mm256_add_ps(_mm256_mul_ps(cy, _mm256_load_ps(core_x + i)),
                                               _mm256_mul_ps(hy, _mm256_load_ps(halo_x + i)));
            _mm256_storeu_ps(row + i, _mm256_add_ps(_mm256_loadu_ps(row + i), light));
        }
    }
}

}  // namespace kvr::sim
#endif
