// AVX-512 row kernels of the filters, 32 output pixels a step: the convolution with a fixed
// kernel, and the 3 × 3 thresholded median (the AVX2 loop's scheme: rows in pairs sharing the
// sorted pair of their middle rows, the window median from three sorted columns; the replacement
// test and the blend in mask registers).
#include "kernels/filter_rows_avx512.h"

#if KVR_HAVE_AVX2_PATHS
#include "kernels/avx512_intrinsics.h"
#include "kernels/convolution_pairs.h"
#include "kernels/filter_rows.h"
#include "kernels/filter_rows_avx2.h"
#include "kernels/median_threshold.h"

namespace kvr {

namespace {

constexpr int kBlock = 32;

#define KVR_INLINE_AVX512 KVR_TARGET_AVX512 inline __attribute__((always_inline))
// Lambdas do not inherit the enclosing function's target; they name it themselves.
#define KVR_LAMBDA_AVX512 \
    __attribute__((target("avx2,fma,avx512f,avx512bw,avx512vl"), always_inline))

KVR_INLINE_AVX512 __m512i load32(const uint16_t* p) {
    return _mm512_loadu_si512(p);
}

KVR_INLINE_AVX512 void store32(uint16_t* p, __m512i v) {
    _mm512_storeu_si512(p, v);
}

// Columns [first, end) in blocks of 32, the last one overlapping the one before it (the output
// goes to a separate buffer, so a pixel computed twice is the same).
template <typename Block>
KVR_INLINE_AVX512 void for_each_block(int first, int end, Block&& block) {
    int x = first;
    for (; x + kBlock < end; x += kBlock) block(x);
    block(end - kBlock);
}

// Clipped as the filters clip (above 65280 → 65535, negative → 0) and packed: the pixels of each
// 128-bit lane of `lo` come before those of the same lane of `hi`.
KVR_INLINE_AVX512 __m512i clip_and_pack_lanes(__m512i lo, __m512i hi) {
    const __m512i level = _mm512_set1_epi32(kFilterClipLevel);
    const __m512i ones = _mm512_set1_epi32(0xFFFF);
    lo = _mm512_mask_or_epi32(lo, _mm512_cmpgt_epi32_mask(lo, level), lo, ones);
    hi = _mm512_mask_or_epi32(hi, _mm512_cmpgt_epi32_mask(hi, level), hi, ones);
    return _mm512_packus_epi32(lo, hi);
}

// v div d, truncated toward zero, for |v| < 2^24 (see the AVX2 loop).
KVR_INLINE_AVX512 __m512i divide_exact(__m512i v, __m512 d) {
    return _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(v), d));
}

// a > floor(d · q) in the fixed-point form; `Whole` says n = 1.
template <bool Whole>
class Threshold {
  public:
    KVR_INLINE_AVX512 explicit Threshold(float q) {
        const MedianThresholdWords words = median_threshold_words(q);
        high_ = _mm512_set1_epi16(static_cast<int16_t>(words.high));
        low_ = _mm512_set1_epi16(static_cast<int16_t>(words.low));
    }
    KVR_INLINE_AVX512 __mmask32 replace(__m512i a, __m512i d) const {
        const __m512i product = _mm512_mullo_epi16(d, high_);
        const __m512i lower = _mm512_add_epi16(product, _mm512_mulhi_epu16(d, low_));
        // The carry out of `lower`'s 16 bits: the sum wrapped below its first term.
        const __mmask32 carry = _mm512_cmplt_epu16_mask(lower, product);
        const __m512i high_half = _mm512_mulhi_epu16(d, high_);
        __m512i floor_product =
            _mm512_mask_adds_epu16(high_half, carry, high_half, _mm512_set1_epi16(1));
        if constexpr (Whole) floor_product = _mm512_adds_epu16(floor_product, d);
        return _mm512_cmpgt_epu16_mask(a, floor_product);
    }

  private:
    __m512i high_, low_;
};

KVR_INLINE_AVX512 __m512i median_of_three(__m512i a, __m512i b, __m512i c) {
    return _mm512_max_epu16(_mm512_min_epu16(a, b), _mm512_min_epu16(_mm512_max_epu16(a, b), c));
}

// Rank i of the window column at every x: sorted[i][x].
using SortedColumns = uint16_t[3][kMaxFilterWidth + kBlock];

// The filtered row y from the sorted columns of its window rows. `Ceiling`: some window may lie
// wholly above the 65000 ceiling of the minimum (without, the ceiling cannot bind).
template <bool Ceiling, bool Whole>
KVR_INLINE_AVX512 void median_from_columns(const SortedColumns& sorted, const uint16_t* src,
                                           uint16_t* dst, int width, int y,
                                           const Threshold<Whole>& threshold) {
    const __m512i min_ceiling = _mm512_set1_epi16(static_cast<int16_t>(kMedianMinCeiling));
    const uint16_t* row = src + y * width;
    for_each_block(1, width - 1, [&](int x) KVR_LAMBDA_AVX512 {
        // Fully unrolled loops keep every value in a register (the array is scalarised).
        __m512i v[9];
#pragma GCC unroll 3
        for (int j = 0; j < 3; ++j)
#pragma GCC unroll 3
            for (int i = 0; i < 3; ++i) v[j * 3 + i] = load32(sorted[i] + x - 1 + j);
        const __m512i largest = _mm512_max_epu16(_mm512_max_epu16(v[2], v[5]), v[8]);
        __m512i smallest = _mm512_min_epu16(_mm512_min_epu16(v[0], v[3]), v[6]);
        if constexpr (Ceiling) smallest = _mm512_min_epu16(smallest, min_ceiling);
        // The median of the largest column minimum, the median of the column medians and the
        // smallest column maximum.
        const __m512i low = _mm512_max_epu16(_mm512_max_epu16(v[0], v[3]), v[6]);
        const __m512i high = _mm512_min_epu16(_mm512_min_epu16(v[2], v[5]), v[8]);
        const __m512i median = median_of_three(low, median_of_three(v[1], v[4], v[7]), high);
        const __m512i pixel = load32(row + x);
        const __m512i distance =
            _mm512_or_si512(_mm512_subs_epu16(median, pixel), _mm512_subs_epu16(pixel, median));
        const __mmask32 replace = threshold.replace(distance, _mm512_sub_epi16(largest, smallest));
        store32(dst + y * width + x, _mm512_mask_mov_epi16(pixel, replace, median));
    });
}

// Rows y and y + 1 share the sorted pair of their middle rows, into which each inserts its own
// outer row; a last odd row goes to the AVX2 loop.
template <bool Whole>
KVR_TARGET_AVX512 void median3_rows(const uint16_t* src, uint16_t* dst, int width, int first,
                                    int rows, float power) {
    const Threshold<Whole> threshold(power);
    alignas(64) SortedColumns upper, lower;
    const __m512i ceiling = _mm512_set1_epi16(static_cast<int16_t>(kMedianMinCeiling));
    int y = first;
    for (; y + 1 < first + rows; y += 2) {
        // The largest column minimum of the two rows: only above the ceiling can a whole window
        // lie above it.
        __m512i largest_minimum = _mm512_setzero_si512();
        for_each_block(0, width, [&](int x) KVR_LAMBDA_AVX512 {
            const __m512i above = load32(src + (y - 1) * width + x);
            const __m512i b = load32(src + y * width + x);
            const __m512i c = load32(src + (y + 1) * width + x);
            const __m512i below = load32(src + (y + 2) * width + x);
            const __m512i low = _mm512_min_epu16(b, c);
            const __m512i high = _mm512_max_epu16(b, c);
            // Sorts the outer row into the pair; returns the column minimum.
            auto insert = [&](__m512i outer, SortedColumns& s) KVR_LAMBDA_AVX512 {
                const __m512i minimum = _mm512_min_epu16(outer, low);
                store32(s[0] + x, minimum);
                store32(s[1] + x, _mm512_max_epu16(low, _mm512_min_epu16(outer, high)));
                store32(s[2] + x, _mm512_max_epu16(outer, high));
                return minimum;
            };
            largest_minimum = _mm512_max_epu16(
                largest_minimum, _mm512_max_epu16(insert(above, upper), insert(below, lower)));
        });
        if (_mm512_cmpgt_epu16_mask(largest_minimum, ceiling) != 0) {
            median_from_columns<true>(upper, src, dst, width, y, threshold);
            median_from_columns<true>(lower, src, dst, width, y + 1, threshold);
        } else {
            median_from_columns<false>(upper, src, dst, width, y, threshold);
            median_from_columns<false>(lower, src, dst, width, y + 1, threshold);
        }
    }
    if (y < first + rows) median_rows_avx2(src, dst, width, y, 1, 1, power);
}

}  // namespace

// Two taps per multiply-add (convolution_pairs.h); the interleaving and the lane-wise pack as in
// the AVX2 loop.
KVR_TARGET_AVX512 void convolve_row_avx512(const uint16_t* src, uint16_t* dst, int width, int y,
                                           const KernelTaps& taps) {
    const uint16_t* centre = src + y * width;
    const ConvolutionPairs c = pair_taps(taps, width);
    __m512i weights[ConvolutionPairs::kMaxPairs];
    for (int q = 0; q < c.pairs; ++q) weights[q] = _mm512_set1_epi32(c.weights[q]);
    const __m512i flip = _mm512_set1_epi16(static_cast<int16_t>(0x8000));
    const __m512i bias = _mm512_set1_epi32(c.bias);
    const __m512 divisor = _mm512_set1_ps(static_cast<float>(c.divisor));
    for_each_block(taps.radius, width - taps.radius, [&](int x) KVR_LAMBDA_AVX512 {
        const uint16_t* p = centre + x;
        __m512i lo = bias;
        __m512i hi = bias;
        for (int q = 0; q < c.pairs; ++q) {
            const __m512i a = _mm512_xor_si512(load32(p + c.offset[2 * q]), flip);
            const __m512i b = _mm512_xor_si512(load32(p + c.offset[2 * q + 1]), flip);
            lo = _mm512_add_epi32(lo, _mm512_madd_epi16(_mm512_unpacklo_epi16(a, b), weights[q]));
            hi = _mm512_add_epi32(hi, _mm512_madd_epi16(_mm512_unpackhi_epi16(a, b), weights[q]));
        }
        if (c.shift) {
            lo = _mm512_srai_epi32(lo, static_cast<unsigned>(c.shift_bits));
            hi = _mm512_srai_epi32(hi, static_cast<unsigned>(c.shift_bits));
        } else if (c.divide) {
            lo = divide_exact(lo, divisor);
            hi = divide_exact(hi, divisor);
        }
        store32(dst + y * width + x, clip_and_pack_lanes(lo, hi));
    });
}

bool median3_rows_avx512(const uint16_t* src, uint16_t* dst, int width, int first, int rows,
                         float power) {
    if (width > kMaxFilterWidth) return false;
    if (median_threshold_is_fixed_point(power, false))
        median3_rows<false>(src, dst, width, first, rows, power);
    else if (median_threshold_is_fixed_point(power, true))
        median3_rows<true>(src, dst, width, first, rows, power);
    else
        return false;
    return true;
}

}  // namespace kvr
#endif
