#include "kernels/display_kernels.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KVR_X86 1
#endif

namespace kvr {

namespace {

constexpr uint8_t kStretchCeiling = 253;  // display values 253 … 255 are never stretched

#if KVR_X86
// A 256-entry byte table is four 64-byte registers; two two-source permutes pick from the lower
// and upper halves and bit 7 of each index chooses between them: 64 bytes per handful of
// instructions instead of one load per byte.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void remap_bytes_vbmi(
    uint8_t* buf, int n, const uint8_t lut[256]) {
    const __m512i t0 = _mm512_loadu_si512(lut);
    const __m512i t1 = _mm512_loadu_si512(lut + 64);
    const __m512i t2 = _mm512_loadu_si512(lut + 128);
    const __m512i t3 = _mm512_loadu_si512(lut + 192);
    int k = 0;
    for (; k + 64 <= n; k += 64) {
        const __m512i idx = _mm512_loadu_si512(buf + k);
        const __m512i low = _mm512_permutex2var_epi8(t0, idx, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, idx, t3);
        const __mmask64 upper = _mm512_movepi8_mask(idx);
        _mm512_storeu_si512(buf + k, _mm512_mask_blend_epi8(upper, low, high));
    }
    // Leave no wide register state behind: later SSE and x87 code would pay for it.
    _mm256_zeroupper();
    remap_bytes_portable(buf + k, n - k, lut);
}

bool has_vbmi() {
    static const bool yes = __builtin_cpu_supports("avx512vbmi") &&
                            __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f");
    return yes;
}
#endif

}  // namespace

void copy_high_bytes(const uint16_t* src, uint8_t* dst, int n) {
    int k = 0;
#if defined(__SSE2__)
    for (; k + 16 <= n; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k + 8));
        const __m128i packed = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), packed);
    }
#endif
    for (; k < n; ++k) dst[k] = static_cast<uint8_t>(src[k] >> 8);
}

ByteRange scan_byte_range_portable(const uint8_t* buf, int n) {
    ByteRange r;
    for (int k = 0; k < n; ++k) {
        const uint8_t v = buf[k];
        if (v > r.highest_below_253 && v < kStretchCeiling) r.highest_below_253 = v;
        if (v < r.lowest_nonzero && v > 0) r.lowest_nonzero = v;
    }
    return r;
}

ByteRange scan_byte_range(const uint8_t* buf, int n) {
    ByteRange r;
    int k = 0;
#if defined(__SSE2__)
    // Bytes that do not take part are replaced by the neutral value of each reduction: 0 for
    // the maximum (values of 253 and above), 255 for the minimum (zeros).
    const __m128i zero = _mm_setzero_si128();
    const __m128i last_stretched = _mm_set1_epi8(static_cast<char>(kStretchCeiling - 1));
    __m128i hi = zero;
    __m128i lo = _mm_set1_epi8(static_cast<char>(0xFF));
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + k));
        const __m128i stretched = _mm_cmpeq_epi8(_mm_max_epu8(v, last_stretched), last_stretched);
        hi = _mm_max_epu8(hi, _mm_and_si128(stretched, v));
        lo = _mm_min_epu8(lo, _mm_or_si128(v, _mm_cmpeq_epi8(v, zero)));
    }
    alignas(16) uint8_t his[16], los[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(his), hi);
    _mm_store_si128(reinterpret_cast<__m128i*>(los), lo);
    r.highest_below_253 = *std::max_element(his, his + 16);
    r.lowest_nonzero = *std::min_element(los, los + 16);
#endif
    const ByteRange tail = scan_byte_range_portable(buf + k, n - k);
    r.highest_below_253 = std::max(r.highest_below_253, tail.highest_below_253);
    r.lowest_nonzero = std::min(r.lowest_nonzero, tail.lowest_nonzero);
    return r;
}

void remap_bytes_portable(uint8_t* buf, int n, const uint8_t lut[256]) {
    int k = 0;
    // Four lookups gathered into one store: the loop is bound by loads and stores, not by
    // arithmetic.
    for (; k + 4 <= n; k += 4) {
        const uint32_t word = uint32_t(lut[buf[k]]) | uint32_t(lut[buf[k + 1]]) << 8 |
                              uint32_t(lut[buf[k + 2]]) << 16 | uint32_t(lut[buf[k + 3]]) << 24;
        std::memcpy(buf + k, &word, 4);
    }
    for (; k < n; ++k) buf[k] = lut[buf[k]];
}

void remap_bytes(uint8_t* buf, int n, const uint8_t lut[256]) {
#if KVR_X86
    if (has_vbmi()) {
        remap_bytes_vbmi(buf, n, lut);
        return;
    }
#endif
    remap_bytes_portable(buf, n, lut);
}

}  // namespace kvr
