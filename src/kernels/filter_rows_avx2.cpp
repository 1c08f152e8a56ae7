// AVX2 row kernels of the enhancement filters: 16 output pixels per step. The last block of a
// row overlaps the one before it; the output goes to a separate buffer, so computing a pixel
// twice gives the same value.
#include "kernels/filter_rows_avx2.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>

#include <algorithm>
#include <utility>

#include "kernels/convolution_pairs.h"
#include "kernels/median_networks.h"
#include "kernels/median_threshold.h"

namespace kvr {

namespace {

constexpr int kBlock = 16;

#define KVR_INLINE_AVX2 KVR_TARGET_AVX2 inline __attribute__((always_inline))
// Lambdas do not inherit the enclosing function's target; they name it themselves.
#define KVR_LAMBDA_AVX2 __attribute__((target("avx2,fma"), always_inline))

KVR_INLINE_AVX2 __m256i load16(const uint16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

KVR_INLINE_AVX2 void store16(uint16_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Eight pixels widened to int32.
KVR_INLINE_AVX2 __m256i load8_i32(const uint16_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Two vectors of eight int32 results, clipped as the filters clip (above 65280 → 65535,
// negative → 0), packed into 16 pixels in order.
KVR_INLINE_AVX2 __m256i clip_and_pack(__m256i lo, __m256i hi) {
    const __m256i level = _mm256_set1_epi32(kFilterClipLevel);
    const __m256i ones = _mm256_set1_epi32(0xFFFF);
    lo = _mm256_or_si256(lo, _mm256_and_si256(_mm256_cmpgt_epi32(lo, level), ones));
    hi = _mm256_or_si256(hi, _mm256_and_si256(_mm256_cmpgt_epi32(hi, level), ones));
    // packus saturates to 0 … 65535 per 128-bit lane; the permute puts the lanes in order.
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(lo, hi), 0xD8);
}

// v div d, truncated toward zero, for |v| < 2^24: the float quotient is then within half a float
// step of v / d, which is less than the distance 1/d from a non-integer quotient to an integer.
KVR_INLINE_AVX2 __m256i divide_exact(__m256i v, __m256 d) {
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(v), d));
}

// Output columns [first, end) in blocks of 16, the last one overlapping.
template <typename Block>
KVR_INLINE_AVX2 void for_each_block(int first, int end, Block&& block) {
    int x = first;
#pragma GCC unroll 2
    for (; x + kBlock < end; x += kBlock) block(x);
    block(end - kBlock);
}

}  // namespace

// --- Convolution --------------------------------------------------------------------------------

namespace {

// Clipped as the filters clip (above 65280 → 65535, negative → 0) and packed: the pixels of each
// 128-bit lane of `lo` come before those of the same lane of `hi`.
KVR_INLINE_AVX2 __m256i clip_and_pack_lanes(__m256i lo, __m256i hi) {
    const __m256i level = _mm256_set1_epi32(kFilterClipLevel);
    const __m256i ones = _mm256_set1_epi32(0xFFFF);
    lo = _mm256_or_si256(lo, _mm256_and_si256(_mm256_cmpgt_epi32(lo, level), ones));
    hi = _mm256_or_si256(hi, _mm256_and_si256(_mm256_cmpgt_epi32(hi, level), ones));
    return _mm256_packus_epi32(lo, hi);
}

}  // namespace

// Two taps per multiply-add (convolution_pairs.h). The interleaving puts pixels 0–3 and 8–11 of
// a block into `lo`, 4–7 and 12–15 into `hi`, which the lane-wise pack restores.
KVR_TARGET_AVX2 void convolve_row_avx2(const uint16_t* src, uint16_t* dst, int width, int y,
                                       const KernelTaps& taps) {
    const uint16_t* centre = src + y * width;
    const ConvolutionPairs c = pair_taps(taps, width);
    __m256i weights[ConvolutionPairs::kMaxPairs];
    for (int q = 0; q < c.pairs; ++q) weights[q] = _mm256_set1_epi32(c.weights[q]);
    const __m256i flip = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
    const __m256i bias = _mm256_set1_epi32(c.bias);
    const __m256 divisor = _mm256_set1_ps(static_cast<float>(c.divisor));
    for_each_block(taps.radius, width - taps.radius, [&](int x) KVR_LAMBDA_AVX2 {
        const uint16_t* p = centre + x;
        __m256i lo = bias;
        __m256i hi = bias;
        for (int q = 0; q < c.pairs; ++q) {
            const __m256i a = _mm256_xor_si256(load16(p + c.offset[2 * q]), flip);
            const __m256i b = _mm256_xor_si256(load16(p + c.offset[2 * q + 1]), flip);
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights[q]));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights[q]));
        }
        if (c.shift) {
            lo = _mm256_srai_epi32(lo, c.shift_bits);
            hi = _mm256_srai_epi32(hi, c.shift_bits);
        } else if (c.divide) {
            lo = divide_exact(lo, divisor);
            hi = divide_exact(hi, divisor);
        }
        store16(dst + y * width + x, clip_and_pack_lanes(lo, hi));
    });
}

// --- Unsharp mask -------------------------------------------------------------------------------

KVR_TARGET_AVX2 void slide_column_sums_avx2(int32_t* column_sum, const uint16_t* entering,
                                            const uint16_t* leaving, int width) {
    for (int x = 0; x < width; x += 8) {
        auto* sum = reinterpret_cast<__m256i*>(column_sum + x);
        const __m256i change = _mm256_sub_epi32(load8_i32(entering + x), load8_i32(leaving + x));
        _mm256_storeu_si256(sum, _mm256_add_epi32(_mm256_loadu_si256(sum), change));
    }
}

namespace {

// Wide boxes as a few level sums instead of 2r + 1 column sums: level k holds the sums of 2^k
// neighbouring columns, and the box is the levels of the binary digits of 2r + 1 laid end to
// end (15 = 8 + 4 + 2 + 1). Boxes up to 5 columns wide add their column sums.
template <int R>
constexpr int box_top_level() {
    constexpr int side = 2 * R + 1;
    if (side <= 5) return 0;
    int top = 0;
    while ((2 << top) <= side) ++top;
    return top;
}

// Level k from level k − 1 for every start column whose 2^k columns exist.
KVR_INLINE_AVX2 void build_level(int32_t* sums, int stride, int k, int width) {
    const int32_t* lower = sums + (k - 1) * stride;
    int32_t* level = sums + k * stride;
    const int half = 1 << (k - 1);
    const int count = width - 2 * half + 1;
    auto block = [&](int at) KVR_LAMBDA_AVX2 {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + at));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + at + half));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(level + at), _mm256_add_epi32(a, b));
    };
    // Whole blocks, then the last one overlapping them (the same sums again).
    int x = 0;
#pragma GCC unroll 4
    for (; x + 8 <= count; x += 8) block(x);
    if (x < count) block(count - 8);
}

// The box sums of eight neighbouring windows, the first one's left column at `at`.
template <int R>
KVR_INLINE_AVX2 __m256i box_sum(const int32_t* sums, int stride, int at) {
    constexpr int side = 2 * R + 1;
    constexpr int top = box_top_level<R>();
    auto load = [&](int k, int column) KVR_LAMBDA_AVX2 {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + k * stride + column));
    };
    __m256i box = load(top, at);
    if constexpr (top == 0) {
#pragma GCC unroll 8
        for (int i = 1; i < side; ++i) box = _mm256_add_epi32(box, load(0, at + i));
    } else {
        at += 1 << top;
#pragma GCC unroll 8
        for (int k = top - 1; k >= 0; --k)
            if (side >> k & 1) {
                box = _mm256_add_epi32(box, load(k, at));
                at += 1 << k;
            }
    }
    return box;
}

template <int R>
KVR_TARGET_AVX2 void unsharp_row_r(int32_t* sums, int stride, const uint16_t* row, uint16_t* out,
                                   int width, int power) {
    constexpr int side = 2 * R + 1;
    for (int k = 1; k <= box_top_level<R>(); ++k) build_level(sums, stride, k, width);
    // Box sums stay below 225 · 65535 < 2^24, so the float division gives the truncated mean.
    const __m256 area = _mm256_set1_ps(static_cast<float>(side * side));
    const __m256i gain = _mm256_set1_epi32(power);
    auto half = [&](int x) KVR_LAMBDA_AVX2 {
        const __m256i mean = divide_exact(box_sum<R>(sums, stride, x - R), area);
        const __m256i pixel = load8_i32(row + x);
        return _mm256_add_epi32(pixel, _mm256_mullo_epi32(_mm256_sub_epi32(pixel, mean), gain));
    };
    // Columns r … width − r − 2: the window's right edge stops one column short of the border.
    for_each_block(R, width - R - 1, [&](int x) KVR_LAMBDA_AVX2 {
        store16(out + x, clip_and_pack(half(x), half(x + 8)));
    });
}

template <int... R>
KVR_TARGET_AVX2 void unsharp_row_for(std::integer_sequence<int, R...>, int radius, int32_t* sums,
                                     int stride, const uint16_t* row, uint16_t* out, int width,
                                     int power) {
    ((radius == R ? unsharp_row_r<R>(sums, stride, row, out, width, power) : void()), ...);
}

}  // namespace

KVR_TARGET_AVX2 void unsharp_row_avx2(int32_t* sums, int stride, const uint16_t* row, uint16_t* out,
                                      int width, int radius, int power) {
    // Radius 1 … 7, each with its box composition unrolled.
    unsharp_row_for(std::integer_sequence<int, 1, 2, 3, 4, 5, 6, 7>{}, radius, sums, stride, row,
                    out, width, power);
}

// --- Thresholded median -------------------------------------------------------------------------

namespace {

template <network::Op O>
KVR_INLINE_AVX2 void network_step(__m256i* v) {
    if constexpr (O.is_max)
        v[O.out] = _mm256_max_epu16(v[O.a], v[O.b]);
    else
        v[O.out] = _mm256_min_epu16(v[O.a], v[O.b]);
}

// Operations per fold expression: compilers limit how deeply one expression may nest (clang's
// default bracket depth is 256), and the larger networks have more steps than that.
inline constexpr size_t kFoldedSteps = 128;

template <const auto& Net, size_t First, size_t... I>
KVR_INLINE_AVX2 void run_network_steps(__m256i* v, std::index_sequence<I...>) {
    (network_step<Net.ops[First + I]>(v), ...);
}

// Runs a network fully unrolled on 16 lanes; values are numbered as the network numbers them.
template <const auto& Net, size_t First = 0>
KVR_INLINE_AVX2 void run_network(__m256i* v) {
    constexpr size_t total = static_cast<size_t>(Net.op_count);
    constexpr size_t count = std::min(kFoldedSteps, total - First);
    run_network_steps<Net, First>(v, std::make_index_sequence<count>{});
    if constexpr (First + count < total) run_network<Net, First + count>(v);
}

// 16 lanes of "a > d · q" for 16-bit a and d and q ≥ 0, with the product taken exactly: in
// float p = d · q rounded and e = d · q − p exact (fused multiply-subtract), and an integer a
// exceeds d · q exactly when a > p, or a = p and e < 0.
KVR_INLINE_AVX2 __m256i exceeds_product(__m256i a, __m256i d, __m256 q) {
    auto half = [&](__m128i a8, __m128i d8) KVR_LAMBDA_AVX2 {
        const __m256 af = _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(a8));
        const __m256 df = _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(d8));
        const __m256 p = _mm256_mul_ps(df, q);
        const __m256 e = _mm256_fmsub_ps(df, q, p);
        const __m256 above = _mm256_cmp_ps(af, p, _CMP_GT_OQ);
        const __m256 tie_below = _mm256_and_ps(_mm256_cmp_ps(af, p, _CMP_EQ_OQ),
                                               _mm256_cmp_ps(e, _mm256_setzero_ps(), _CMP_LT_OQ));
        return _mm256_castps_si256(_mm256_or_ps(above, tie_below));
    };
    const __m256i lo = half(_mm256_castsi256_si128(a), _mm256_castsi256_si128(d));
    const __m256i hi = half(_mm256_extracti128_si256(a, 1), _mm256_extracti128_si256(d, 1));
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8);
}

// The median's replacement test in the fixed-point form of median_threshold.h. `Whole` says
// n = 1.
template <bool Whole>
class MedianThreshold {
  public:
    static bool covers(float q) { return median_threshold_is_fixed_point(q, Whole); }
    KVR_INLINE_AVX2 explicit MedianThreshold(float q) {
        const MedianThresholdWords words = median_threshold_words(q);
        high_ = _mm256_set1_epi16(static_cast<int16_t>(words.high));
        low_ = _mm256_set1_epi16(static_cast<int16_t>(words.low));
    }

    KVR_INLINE_AVX2 __m256i replace(__m256i a, __m256i d) const {
        const __m256i lower =
            _mm256_add_epi16(_mm256_mullo_epi16(d, high_), _mm256_mulhi_epu16(d, low_));
        // The carry out of `lower`'s 16 bits: the sum wrapped below its first term.
        const __m256i no_carry =
            _mm256_cmpeq_epi16(_mm256_max_epu16(lower, _mm256_mullo_epi16(d, high_)), lower);
        const __m256i carry = _mm256_andnot_si256(no_carry, _mm256_set1_epi16(1));
        __m256i floor_product = _mm256_adds_epu16(_mm256_mulhi_epu16(d, high_), carry);
        if constexpr (Whole) floor_product = _mm256_adds_epu16(floor_product, d);
        // a > floor_product: a nonzero excess.
        const __m256i not_above =
            _mm256_cmpeq_epi16(_mm256_subs_epu16(a, floor_product), _mm256_setzero_si256());
        return _mm256_xor_si256(not_above, _mm256_set1_epi16(-1));
    }

  private:
    __m256i high_, low_;  // F and G
};

// Powers the 16-bit test does not cover (from a script: q ≥ 2, or tiny) are decided in float.
class ExactMedianThreshold {
  public:
    KVR_INLINE_AVX2 explicit ExactMedianThreshold(float q) : q_(_mm256_set1_ps(q)) {}
    KVR_INLINE_AVX2 __m256i replace(__m256i a, __m256i d) const {
        return exceeds_product(a, d, q_);
    }

  private:
    __m256 q_;
};

KVR_INLINE_AVX2 __m256i median_of_three(__m256i a, __m256i b, __m256i c) {
    return _mm256_max_epu16(_mm256_min_epu16(a, b), _mm256_min_epu16(_mm256_max_epu16(a, b), c));
}

// Median of K sorted columns: v[j · K + i] is rank i of column j. For 3 × 3 windows the median
// is the median of the largest column minimum, the median of the column medians and the smallest
// column maximum (12 operations); larger windows run the generated network.
template <int K>
KVR_INLINE_AVX2 __m256i window_median(__m256i* v) {
    if constexpr (K == 3) {
        const __m256i low = _mm256_max_epu16(_mm256_max_epu16(v[0], v[3]), v[6]);
        const __m256i high = _mm256_min_epu16(_mm256_min_epu16(v[2], v[5]), v[8]);
        return median_of_three(low, median_of_three(v[1], v[4], v[7]), high);
    } else {
        constexpr const auto& net = network::kWindowMedian<K>;
        run_network<net>(v);
        return v[net.outputs[0]];
    }
}

template <int K>
constexpr int window_values() {
    if constexpr (K == 3)
        return K * K;
    else
        return network::kWindowMedian<K>.value_count;
}

// Rank i of the window column at every x: sorted[i][x].
template <int K>
using SortedColumns = uint16_t[K][kMaxFilterWidth + kBlock];

// The filtered row y from the sorted columns of its window rows. `Ceiling`: some window may lie
// wholly above the 65000 ceiling of the minimum (without, the ceiling cannot bind).
template <int K, bool Ceiling = true, typename Threshold>
KVR_INLINE_AVX2 void median_from_columns(const SortedColumns<K>& sorted, const uint16_t* src,
                                         uint16_t* dst, int width, int y,
                                         const Threshold& threshold) {
    constexpr int r = K / 2;
    const __m256i min_ceiling = _mm256_set1_epi16(static_cast<int16_t>(kMedianMinCeiling));
    const uint16_t* row = src + y * width;
    for_each_block(r, width - r, [&](int x) KVR_LAMBDA_AVX2 {
        // Fully unrolled loops keep every value in a register (the arrays are scalarised).
        __m256i v[window_values<K>()];
#pragma GCC unroll 8
        for (int j = 0; j < K; ++j)
#pragma GCC unroll 8
            for (int i = 0; i < K; ++i) v[j * K + i] = load16(sorted[i] + x - r + j);
        __m256i largest = v[K - 1];
        __m256i smallest = v[0];
#pragma GCC unroll 8
        for (int j = 1; j < K; ++j) {
            largest = _mm256_max_epu16(largest, v[j * K + K - 1]);
            smallest = _mm256_min_epu16(smallest, v[j * K]);
        }
        if constexpr (Ceiling) smallest = _mm256_min_epu16(smallest, min_ceiling);
        const __m256i median = window_median<K>(v);
        const __m256i pixel = load16(row + x);
        const __m256i distance =
            _mm256_or_si256(_mm256_subs_epu16(median, pixel), _mm256_subs_epu16(pixel, median));
        const __m256i replace = threshold.replace(distance, _mm256_sub_epi16(largest, smallest));
        store16(dst + y * width + x, _mm256_blendv_epi8(pixel, median, replace));
    });
}

// Column blocks of 16 across the row, the last one overlapping.
template <typename Block>
KVR_INLINE_AVX2 void for_each_column_block(int width, Block&& block) {
    // Whole blocks, then the last one overlapping them (the same columns again) without a
    // clamp of every block's start.
    int x = 0;
    for (; x + kBlock <= width; x += kBlock) block(x);
    if (x < width) block(width - kBlock);
}

template <int K, typename Threshold>
KVR_TARGET_AVX2 void median_rows_k(const uint16_t* src, uint16_t* dst, int width, int first,
                                   int rows, const Threshold& threshold) {
    constexpr int r = K / 2;
    constexpr const auto& column_sort = network::kColumnSort<K>;
    alignas(32) SortedColumns<K> sorted;
    for (int y = first; y < first + rows; ++y) {
        for_each_column_block(width, [&](int x) KVR_LAMBDA_AVX2 {
            __m256i v[column_sort.value_count];
#pragma GCC unroll 8
            for (int i = 0; i < K; ++i) v[i] = load16(src + (y - r + i) * width + x);
            run_network<column_sort>(v);
#pragma GCC unroll 8
            for (int i = 0; i < K; ++i) store16(sorted[i] + x, v[column_sort.outputs[i]]);
        });
        median_from_columns<K>(sorted, src, dst, width, y, threshold);
    }
}

// 3 × 3 windows two rows at a time: rows y and y + 1 share the sorted pair of their middle
// rows, into which each inserts its own outer row.
template <typename Threshold>
KVR_TARGET_AVX2 void median_rows_k3(const uint16_t* src, uint16_t* dst, int width, int first,
                                    int rows, const Threshold& threshold) {
    alignas(32) SortedColumns<3> upper, lower;
    const __m256i ceiling = _mm256_set1_epi16(static_cast<int16_t>(kMedianMinCeiling));
    int y = first;
    for (; y + 1 < first + rows; y += 2) {
        // The largest column minimum of the two rows: only above the ceiling can a whole window
        // lie above it.
        __m256i largest_minimum = _mm256_setzero_si256();
        for_each_column_block(width, [&](int x) KVR_LAMBDA_AVX2 {
            const __m256i above = load16(src + (y - 1) * width + x);
            const __m256i b = load16(src + y * width + x);
            const __m256i c = load16(src + (y + 1) * width + x);
            const __m256i below = load16(src + (y + 2) * width + x);
            const __m256i low = _mm256_min_epu16(b, c);
            const __m256i high = _mm256_max_epu16(b, c);
            // Sorts the outer row into the pair; returns the column minimum.
            auto insert = [&](__m256i outer, SortedColumns<3>& s) KVR_LAMBDA_AVX2 {
                const __m256i minimum = _mm256_min_epu16(outer, low);
                store16(s[0] + x, minimum);
                store16(s[1] + x, _mm256_max_epu16(low, _mm256_min_epu16(outer, high)));
                store16(s[2] + x, _mm256_max_epu16(outer, high));
                return minimum;
            };
            largest_minimum = _mm256_max_epu16(
                largest_minimum, _mm256_max_epu16(insert(above, upper), insert(below, lower)));
        });
        const bool binds = _mm256_movemask_epi8(_mm256_cmpeq_epi16(
                               _mm256_max_epu16(largest_minimum, ceiling), ceiling)) != -1;
        if (binds) {
            median_from_columns<3, true>(upper, src, dst, width, y, threshold);
            median_from_columns<3, true>(lower, src, dst, width, y + 1, threshold);
        } else {
            median_from_columns<3, false>(upper, src, dst, width, y, threshold);
            median_from_columns<3, false>(lower, src, dst, width, y + 1, threshold);
        }
    }
    if (y < first + rows) median_rows_k<3>(src, dst, width, y, 1, threshold);
}

template <int K, typename Threshold>
KVR_TARGET_AVX2 void median_rows_with(const uint16_t* src, uint16_t* dst, int width, int first,
                                      int rows, const Threshold& threshold) {
    if constexpr (K == 3)
        median_rows_k3(src, dst, width, first, rows, threshold);
    else
        median_rows_k<K>(src, dst, width, first, rows, threshold);
}

template <int K>
KVR_TARGET_AVX2 void median_rows_k(const uint16_t* src, uint16_t* dst, int width, int first,
                                   int rows, float power) {
    if (MedianThreshold<false>::covers(power))
        median_rows_with<K>(src, dst, width, first, rows, MedianThreshold<false>(power));
    else if (MedianThreshold<true>::covers(power))
        median_rows_with<K>(src, dst, width, first, rows, MedianThreshold<true>(power));
    else
        median_rows_with<K>(src, dst, width, first, rows, ExactMedianThreshold(power));
}

}  // namespace

KVR_TARGET_AVX2 void median_rows_avx2(const uint16_t* src, uint16_t* dst, int width, int first,
                                      int rows, int radius, float power) {
    if (width > kMaxFilterWidth) return;
    switch (radius) {
        case 1:
            median_rows_k<3>(src, dst, width, first, rows, power);
            break;
        case 2:
            median_rows_k<5>(src, dst, width, first, rows, power);
            break;
        case 3:
            median_rows_k<7>(src, dst, width, first, rows, power);
            break;
        default:
            break;
    }
}

}  // namespace kvr
#endif
