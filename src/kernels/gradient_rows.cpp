#include "kernels/gradient_rows.h"

#include "kernels/simd_dispatch.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace kvr {

namespace {

uint16_t subtract_gradient_pixel(uint16_t pixel, int x, int y, const GradientPlane& g) {
    const double from_bottom = g.height - y;
    const double from_right = g.width - x;
    double offset = 0.0;
    if (g.top_left) offset += from_bottom * from_right / g.area * g.top_left;
    if (g.top_right) offset += from_bottom * x / g.area * g.top_right;
    if (g.bottom_left) offset += from_right * y / g.area * g.bottom_left;
    if (g.bottom_right) offset += static_cast<double>(y) * x / g.area * g.bottom_right;
    return pixel > offset ? static_cast<uint16_t>(pixel - static_cast<int>(offset)) : 0;
}

#if KVR_HAVE_AVX2_PATHS
// Four pixels per step; no FMA in the target, so no multiply is fused with an addition. Returns
// the pixels done.
__attribute__((target("avx2"))) int subtract_gradient_avx2(uint16_t* row, int width, int y,
                                                           const GradientPlane& g) {
    const __m256d area = _mm256_set1_pd(g.area);
    const __m256d from_bottom = _mm256_set1_pd(g.height - y);
    const __m256d down = _mm256_set1_pd(static_cast<double>(y));
    const __m256d right_edge = _mm256_set1_pd(g.width);
    const __m256d tl = _mm256_set1_pd(g.top_left), tr = _mm256_set1_pd(g.top_right);
    const __m256d bl = _mm256_set1_pd(g.bottom_left), br = _mm256_set1_pd(g.bottom_right);
    __m256d xs = _mm256_setr_pd(0, 1, 2, 3);
    const __m256d four = _mm256_set1_pd(4);
    int x = 0;
    for (; x + 4 <= width; x += 4, xs = _mm256_add_pd(xs, four)) {
        const __m256d from_right = _mm256_sub_pd(right_edge, xs);
        auto term = [&](__m256d a, __m256d b, __m256d corner) __attribute__((target("avx2"))) {
            return _mm256_mul_pd(_mm256_div_pd(_mm256_mul_pd(a, b), area), corner);
        };
        __m256d offset = _mm256_setzero_pd();
        if (g.top_left) offset = _mm256_add_pd(offset, term(from_bottom, from_right, tl));
        if (g.top_right) offset = _mm256_add_pd(offset, term(from_bottom, xs, tr));
        if (g.bottom_left) offset = _mm256_add_pd(offset, term(from_right, down, bl));
        if (g.bottom_right) offset = _mm256_add_pd(offset, term(down, xs, br));
        const __m128i pixels16 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x));
        const __m256d pixels = _mm256_cvtepi32_pd(_mm_cvtepu16_epi32(pixels16));
        const __m256d kept = _mm256_sub_pd(pixels, _mm256_round_pd(offset, _MM_FROUND_TO_ZERO));
        const __m256d result = _mm256_and_pd(_mm256_cmp_pd(pixels, offset, _CMP_GT_OQ), kept);
        const __m128i words = _mm_packus_epi32(_mm256_cvttpd_epi32(result), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row + x), words);
    }
    return x;
}
#endif

}  // namespace

void subtract_gradient_row(uint16_t* row, int width, int y, const GradientPlane& g) {
    int x = 0;
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) x = subtract_gradient_avx2(row, width, y, g);
#endif
    for (; x < width; ++x) row[x] = subtract_gradient_pixel(row[x], x, y, g);
}

}  // namespace kvr
