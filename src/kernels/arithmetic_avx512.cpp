// AVX-512 flat field: sixteen pixels a step, the same bits as flat_field_pixel.
#include "kernels/arithmetic_avx512.h"

#if KVR_HAVE_AVX2_PATHS
#include <algorithm>

#include "kernels/arithmetic_avx2.h"
#include "kernels/avx512_intrinsics.h"

namespace kvr {

namespace {

// The mean as two singles, mean ≈ high + low, within 2^-48 · mean.
struct SplitMean {
    __m512 high, low;
};

// Blocks per batch: the quick pass over 1024 pixels, then the undecided blocks among them.
constexpr int kBatchBlocks = 64;

// The blocks of a batch: each block's pixels as they were before the quick pass wrote its lower
// ends over them, its undecided lanes, and which blocks have any (one bit a block).
struct BatchRecord {
    alignas(32) uint16_t original[kBatchBlocks][16];
    __mmask16 lanes[kBatchBlocks];
    uint64_t undecided_blocks;
};
static_assert(kBatchBlocks <= 64);

// The quick pass over the `valid` lanes of the block at d, f (all 16, or the row's last few):
// writes every lane's lower end lo, and records the block when a lane is undecided. Branch-free,
// because on a saturated frame a third of the blocks have an undecided lane, at random.
//
// Single precision: d / f from the reciprocal estimate (relative error below 2^-14), corrected
// once by the exact residual d − q0 · f, is within 1.07 · 2^-24 of the quotient; its product with
// the mean, split in two singles, rounds once more, so va lies within 2.1 · 2^-24 · v of the
// division rule's double result v. The ends lo = va · (1 − 4 · 2^-24) and
// hi = va · (1 + 4 · 2^-24), with their own rounding, hold v between them; where both truncate to
// the same integer, so does v. A quotient over 65535.5 is held there first, so the clipped lanes
// truncate to 65535 at both ends. A hole in the flat makes va not a number, which the two
// conversions turn into different integers. The undecided lanes (v within 4 · 2^-24 · v of an
// integer: three in a hundred at the top of the range, far fewer below) have hi = lo + 1.
template <bool Whole>
KVR_TARGET_AVX512 inline void quick_block(uint16_t* d, const uint16_t* f, int x, __mmask16 valid,
                                          SplitMean split, BatchRecord& record, int block) {
    const __m256i d16 = Whole ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + x))
                              : _mm256_maskz_loadu_epi16(valid, d + x);
    const __m256i f16 = Whole ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + x))
                              : _mm256_maskz_loadu_epi16(valid, f + x);
    const __m512 df = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(d16));
    const __m512 ff = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(f16));
    const __m512 r0 = _mm512_rcp14_ps(ff);
    const __m512 q0 = _mm512_mul_ps(df, r0);
    const __m512 q = _mm512_fmadd_ps(_mm512_fnmadd_ps(q0, ff, df), r0, q0);
    const __m512 va = _mm512_fmadd_ps(q, split.high, _mm512_mul_ps(q, split.low));
    // The constant first: a lane that is not a number stays so.
    const __m512 v = _mm512_min_ps(_mm512_set1_ps(65535.5f), va);
    const __m512i lo = _mm512_cvttps_epi32(_mm512_mul_ps(v, _mm512_set1_ps(1.0f - 0x4p-24f)));
    const __m512i hi = _mm512_cvttps_epu32(_mm512_mul_ps(v, _mm512_set1_ps(1.0f + 0x4p-24f)));
    const __mmask16 undecided = _mm512_mask_cmpneq_epi32_mask(valid, lo, hi);
    if (Whole)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), _mm512_cvtepi32_epi16(lo));
    else
        _mm256_mask_storeu_epi16(d + x, valid, _mm512_cvtepi32_epi16(lo));
    _mm256_store_si256(reinterpret_cast<__m256i*>(record.original[block]), d16);
    record.lanes[block] = undecided;
    record.undecided_blocks |= uint64_t{undecided != 0} << block;
}

// Settles the undecided lanes of one recorded block, whose quotients v = d / f · mean lie within
// 2^-20 · v of the whole number k = lo + 1, by the sign of t = d · mean − k · f. With
// p + e = d · high and q + g = k · f as exact products, p − q is exact (p and q are within a
// factor of two), and e − g + d · low and the sum add errors below 2^-13 (the products are below
// 2^33). The division rule's own roundings move v by at most 2.2 · 2^-53 · v, t by less than
// 2^-19; so a computed t beyond ±2^-10 puts the rule's result on that side of k: at or above it
// the lane takes k, below it keeps lo. A lane with t nearer 0 (on a whole number itself), or over
// a hole in the flat, takes the pixel rule.
KVR_TARGET_AVX512 inline void settle_block(uint16_t* out, const uint16_t* f,
                                           const uint16_t* original, __mmask16 lanes, double mean,
                                           SplitMean split) {
    const __m512i f32 = _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(lanes, f));
    // lo + 1 stays within 16 bits: an undecided lane's lo is below 65535.
    const __m256i k16 =
        _mm256_add_epi16(_mm256_maskz_loadu_epi16(lanes, out), _mm256_set1_epi16(1));
    const __m512 d = _mm512_cvtepi32_ps(
        _mm512_cvtepu16_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(original))));
    const __m512 ff = _mm512_cvtepi32_ps(f32);
    const __m512 k = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(k16));
    const __m512 p = _mm512_mul_ps(d, split.high);
    const __m512 e = _mm512_fmsub_ps(d, split.high, p);
    const __m512 q = _mm512_mul_ps(k, ff);
    const __m512 g = _mm512_fmsub_ps(k, ff, q);
    const __m512 t =
        _mm512_add_ps(_mm512_sub_ps(p, q), _mm512_fmadd_ps(d, split.low, _mm512_sub_ps(e, g)));
    const __mmask16 flat = _mm512_mask_test_epi32_mask(lanes, f32, f32);
    const __mmask16 above = _mm512_mask_cmp_ps_mask(flat, t, _mm512_set1_ps(0x1p-10f), _CMP_GT_OQ);
    const __mmask16 below = _mm512_mask_cmp_ps_mask(flat, t, _mm512_set1_ps(-0x1p-10f), _CMP_LT_OQ);
    _mm256_mask_storeu_epi16(out, above, k16);
    for (unsigned rest = lanes & ~(above | below); rest != 0; rest &= rest - 1) {
        const int i = __builtin_ctz(rest);
        out[i] = flat_field_pixel(original[i], f[i], mean);
    }
}

}  // namespace

KVR_TARGET_AVX512 void flat_field_span_avx512(uint16_t* d, const uint16_t* f, double mean,
                                              int count) {
    const auto high = static_cast<float>(mean);
    const SplitMean split{_mm512_set1_ps(high),
                          _mm512_set1_ps(static_cast<float>(mean - double{high}))};
    BatchRecord record;
    for (int start = 0; start < count; start += 16 * kBatchBlocks) {
        const int end = std::min(count, start + 16 * kBatchBlocks);
        record.undecided_blocks = 0;
        int block = 0;
        for (; start + 16 * block + 16 <= end; ++block)
            quick_block<true>(d, f, start + 16 * block, 0xFFFF, split, record, block);
        if (const int left = end - start - 16 * block; left > 0)
            quick_block<false>(d, f, start + 16 * block, static_cast<__mmask16>((1u << left) - 1),
                               split, record, block);
        for (uint64_t b = record.undecided_blocks; b != 0; b &= b - 1) {
            const int i = __builtin_ctzll(b);
            const int x = start + 16 * i;
            settle_block(d + x, f + x, record.original[i], record.lanes[i], mean, split);
        }
    }
}

}  // namespace kvr
#endif
