#include "kernels/saturating_add.h"

#include "kernels/simd_dispatch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace kvr {

namespace {

#if KVR_HAVE_AVX2_PATHS
// 32 pixels per step; returns the pixels done.
KVR_TARGET_AVX2 size_t add_saturated_avx2(uint16_t* out, const uint16_t* in, size_t n) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        auto* o = reinterpret_cast<__m256i*>(out + i);
        const auto* s = reinterpret_cast<const __m256i*>(in + i);
        const __m256i a = _mm256_adds_epu16(_mm256_loadu_si256(o), _mm256_loadu_si256(s));
        const __m256i b = _mm256_adds_epu16(_mm256_loadu_si256(o + 1), _mm256_loadu_si256(s + 1));
        _mm256_storeu_si256(o, a);
        _mm256_storeu_si256(o + 1, b);
    }
    return i;
}
#endif

}  // namespace

void add_saturated(uint16_t* out, const uint16_t* in, size_t n) {
    size_t i = 0;
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) i = add_saturated_avx2(out, in, n);
#endif
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        auto* o = reinterpret_cast<__m128i*>(out + i);
        const auto* s = reinterpret_cast<const __m128i*>(in + i);
        _mm_storeu_si128(o, _mm_adds_epu16(_mm_loadu_si128(o), _mm_loadu_si128(s)));
    }
#endif
    for (; i < n; ++i) {
        const uint32_t sum = uint32_t{out[i]} + in[i];
        out[i] = static_cast<uint16_t>(sum > 65535 ? 65535 : sum);
    }
}

}  // namespace kvr
