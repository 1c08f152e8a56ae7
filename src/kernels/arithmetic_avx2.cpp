// AVX2 loops of the whole-image arithmetic. Each gives the same bits as the scalar rule it
// replaces.
#include "kernels/arithmetic_avx2.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>

namespace kvr {

namespace {

// Four pixels with non-zero flat values: d / f · mean, the clip at 65535, truncated to int32.
KVR_TARGET_AVX2 inline __m128i flat_field_quad(__m128i d32, __m128i f32, __m256d mean) {
    const __m256d d = _mm256_cvtepi32_pd(d32);
    const __m256d f = _mm256_cvtepi32_pd(f32);
    const __m256d v = _mm256_mul_pd(_mm256_div_pd(d, f), mean);
    return _mm256_cvttpd_epi32(_mm256_min_pd(v, _mm256_set1_pd(65535.0)));
}

// d / f in single precision without a division: the reciprocal estimate (relative error at most
// 1.5 · 2^-12) refined by one Newton step to within 3.25 · 2^-24, the product d · r, and one
// correction by its residual, which leaves the quotient within (2^-24 + 2^-43) · d / f: as
// close as a rounded division. A zero f gives no number (its lanes are never taken).
KVR_TARGET_AVX2 inline __attribute__((always_inline)) __m256 quotient(__m256 d, __m256 f) {
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 r0 = _mm256_rcp_ps(f);
    const __m256 r = _mm256_fmadd_ps(r0, _mm256_fnmadd_ps(f, r0, one), r0);
    const __m256 q = _mm256_mul_ps(d, r);
    return _mm256_fmadd_ps(_mm256_fnmadd_ps(q, f, d), r, q);
}

// Eight flat-fielded pixels from d[0 … 7] and f[0 … 7], in single precision where that decides
// them. The quotient's, the mean's and the product's roundings put va within
// 3.0001 · 2^-24 · va of the double result v. The ends lo = va · (1 − 5 · 2^-24) and
// hi = va · (1 + 6 · 2^-24), with their own rounding, still hold v between them; where both
// truncate to the same integer, so does v; where lo truncates to 65535 or more, v clips. A
// quotient over 70000 is held there first, so the truncations stay in range. The lanes left
// undecided (v that close to an integer or to the clip, or a hole in the flat) take the pixel
// rule one by one (a few in a hundred at the top of the range, far fewer below), or the double
// precision rule in vectors when many lanes of a block are undecided (a saturated frame over a
// saturated flat gives exactly the mean).
KVR_TARGET_AVX2 inline __attribute__((always_inline)) __m128i flat_field_block(const uint16_t* d,
                                                                               const uint16_t* f,
                                                                               double mean,
                                                                               __m256 mean_f) {
    const __m256i d32 = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d)));
    const __m256i f32 = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(f)));
    const __m256 v = _mm256_min_ps(
        _mm256_mul_ps(quotient(_mm256_cvtepi32_ps(d32), _mm256_cvtepi32_ps(f32)), mean_f),
        _mm256_set1_ps(70000.0f));
    const __m256i low = _mm256_cvttps_epi32(_mm256_mul_ps(v, _mm256_set1_ps(1.0f - 0x5p-24f)));
    const __m256i high = _mm256_cvttps_epi32(_mm256_mul_ps(v, _mm256_set1_ps(1.0f + 0x6p-24f)));
    const __m256i decided =
        _mm256_andnot_si256(_mm256_cmpeq_epi32(f32, _mm256_setzero_si256()),
                            _mm256_or_si256(_mm256_cmpeq_epi32(low, high),
                                            _mm256_cmpgt_epi32(low, _mm256_set1_epi32(65534))));
    // The pack saturates the clipped lanes to 65535.
    const __m128i quick =
        _mm_packus_epi32(_mm256_castsi256_si128(low), _mm256_extracti128_si256(low, 1));
    auto undecided =
        static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(decided))) ^ 0xFFu;
    if (undecided == 0) return quick;
    const __m256i holes = _mm256_cmpeq_epi32(f32, _mm256_setzero_si256());
    if (__builtin_popcount(undecided) > 2 && _mm256_testz_si256(holes, holes)) {
        const __m256d m = _mm256_set1_pd(mean);
        return _mm_packus_epi32(
            flat_field_quad(_mm256_castsi256_si128(d32), _mm256_castsi256_si128(f32), m),
            flat_field_quad(_mm256_extracti128_si256(d32, 1), _mm256_extracti128_si256(f32, 1), m));
    }
    alignas(16) uint16_t out[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), quick);
    for (; undecided != 0; undecided &= undecided - 1) {
        const int i = __builtin_ctz(undecided);
        out[i] = flat_field_pixel(d[i], f[i], mean);
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(out));
}

}  // namespace

KVR_TARGET_AVX2 void flat_field_span_avx2(uint16_t* d, const uint16_t* f, double mean, int count) {
    const __m256 m_f = _mm256_set1_ps(static_cast<float>(mean));
    // The last block overlaps the one before it; it is computed from the pixels as they were
    // and stored after the loop, so no pixel is flat-fielded twice.
    const int last = count - 8;
    const __m128i last_block = flat_field_block(d + last, f + last, mean, m_f);
    for (int x = 0; x < last; x += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x),
                         flat_field_block(d + x, f + x, mean, m_f));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + last), last_block);
}

}  // namespace kvr
#endif
