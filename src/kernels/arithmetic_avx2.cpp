// AVX2 loops of the whole-image arithmetic. Each gives the same bits as the scalar rule it
// replaces.
#include "kernels/arithmetic_avx2.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>

namespace kvr {

namespace {

// Four pixels with non-zero flat values: d / f · mean, the clip at 65535, truncated to int32.
KVR_TARGET_AVX2 __m128i flat_field_quad(__m128i d32, __m128i f32, __m256d mean) {
    const __m256d d = _mm256_cvtepi32_pd(d32);
    const __m256d f = _mm256_cvtepi32_pd(f32);
    const __m256d v = _mm256_mul_pd(_mm256_div_pd(d, f), mean);
    return _mm256_cvttpd_epi32(_mm256_min_pd(v, _mm256_set1_pd(65535.0)));
}

// Eight pixels in single precision, when that decides them all: float's three roundings (the
// quotient, the mean, the product) put the value va within E = va · 2^-22 of the double result v,
// so where [va − 2E, va + 2E] holds no integer, trunc(v) = floor(va − 2E); where va − 2E ≥ 65535,
// v clips. False (nothing decided) when a lane is that close to an integer or to the clip.
KVR_TARGET_AVX2 bool flat_field_in_float(__m256i d32, __m256i f32, __m256 mean, __m128i& out) {
    const __m256 v =
        _mm256_mul_ps(_mm256_div_ps(_mm256_cvtepi32_ps(d32), _mm256_cvtepi32_ps(f32)), mean);
    const __m256 margin = _mm256_mul_ps(v, _mm256_set1_ps(0x1p-21f));
    const __m256 low = _mm256_floor_ps(_mm256_sub_ps(v, margin));
    const __m256 high = _mm256_floor_ps(_mm256_add_ps(v, margin));
    const __m256 limit = _mm256_set1_ps(65535.0f);
    const __m256 exact =
        _mm256_and_ps(_mm256_cmp_ps(low, high, _CMP_EQ_OQ), _mm256_cmp_ps(high, limit, _CMP_LT_OQ));
    const __m256 clipped = _mm256_cmp_ps(low, limit, _CMP_GE_OQ);
    if (_mm256_movemask_ps(_mm256_or_ps(exact, clipped)) != 0xFF) return false;
    const __m256i value = _mm256_cvttps_epi32(_mm256_blendv_ps(low, limit, clipped));
    out = _mm_packus_epi32(_mm256_castsi256_si128(value), _mm256_extracti128_si256(value, 1));
    return true;
}

// Eight flat-fielded pixels from d[0 … 7] and f[0 … 7].
KVR_TARGET_AVX2 __m128i flat_field_block(const uint16_t* d, const uint16_t* f, __m256d mean,
                                         __m256 mean_f) {
    const __m128i d16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    const __m128i f16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(f16, _mm_setzero_si128())) != 0) {
        // A hole in the flat (rare): the pixel rule handles its cases one by one.
        alignas(16) uint16_t out[8];
        for (int i = 0; i < 8; ++i) out[i] = flat_field_pixel(d[i], f[i], _mm256_cvtsd_f64(mean));
        return _mm_load_si128(reinterpret_cast<const __m128i*>(out));
    }
    const __m256i d32 = _mm256_cvtepu16_epi32(d16);
    const __m256i f32 = _mm256_cvtepu16_epi32(f16);
    __m128i quick;
    if (flat_field_in_float(d32, f32, mean_f, quick)) return quick;
    const __m128i lo =
        flat_field_quad(_mm256_castsi256_si128(d32), _mm256_castsi256_si128(f32), mean);
    const __m128i hi =
        flat_field_quad(_mm256_extracti128_si256(d32, 1), _mm256_extracti128_si256(f32, 1), mean);
    return _mm_packus_epi32(lo, hi);
}

}  // namespace

KVR_TARGET_AVX2 void flat_field_span_avx2(uint16_t* d, const uint16_t* f, double mean, int count) {
    const __m256d m = _mm256_set1_pd(mean);
    const __m256 m_f = _mm256_set1_ps(static_cast<float>(mean));
    // The last block overlaps the one before it; it is computed from the pixels as they were
    // and stored after the loop, so no pixel is flat-fielded twice.
    const int last = count - 8;
    const __m128i last_block = flat_field_block(d + last, f + last, m, m_f);
    for (int x = 0; x < last; x += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), flat_field_block(d + x, f + x, m, m_f));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + last), last_block);
}

}  // namespace kvr
#endif
