#pragma once
// A kernel's taps in pairs for the vector convolution loops: two taps per 16-bit multiply-add.
// The pixels of two taps are interleaved word by word and meet their two weights in one
// multiply-add of word pairs. It multiplies signed words, so every pixel enters less 32768 (its
// top bit flipped) and the sum gets 32768 · Σweight back.
#include <cstdint>

#include "kernels/filter_rows.h"

namespace kvr {

struct ConvolutionPairs {
    static constexpr int kMaxPairs = (kKernelEntries + 1) / 2;
    int pairs = 0;
    // Offsets of the pixels of pair q's taps from the output pixel: offset[2q], offset[2q + 1].
    int offset[2 * kMaxPairs] = {};
    // Pair q's two weights as one 32-bit lane: the second tap's in the high word.
    int32_t weights[kMaxPairs] = {};
    // 32768 · Σweight, added back to every sum.
    int32_t bias = 0;
    // Every kernel keeps Σ|weight| · 65535 below 2^24, as an exact float division needs; a
    // power-of-two divisor of a sum that cannot be negative is a shift.
    bool shift = false;
    int shift_bits = 0;
    bool divide = false;
    int divisor = 1;
};

inline ConvolutionPairs pair_taps(const KernelTaps& taps, int width) {
    ConvolutionPairs c;
    c.pairs = (taps.count + 1) / 2;
    int weight_sum = 0;
    bool negative = false;
    for (int t = 0; t < 2 * c.pairs; ++t) {
        // An odd last tap pairs with its own pixels at weight 0.
        const int k = t < taps.count ? t : taps.count - 1;
        c.offset[t] = taps.dy[k] * width + taps.dx[k];
        if (t < taps.count) {
            weight_sum += taps.weight[t];
            negative = negative || taps.weight[t] < 0;
        }
    }
    for (int q = 0; q < c.pairs; ++q) {
        const int w0 = taps.weight[2 * q];
        const int w1 = 2 * q + 1 < taps.count ? taps.weight[2 * q + 1] : 0;
        c.weights[q] = static_cast<int32_t>(uint32_t(w1) << 16 | uint16_t(w0));
    }
    c.bias = 32768 * weight_sum;
    const int d = taps.divisor;
    c.divisor = d;
    c.shift = d > 1 && (d & (d - 1)) == 0 && !negative;
    c.shift_bits = c.shift ? __builtin_ctz(static_cast<unsigned>(d)) : 0;
    c.divide = d != 1 && !c.shift;
    return c;
}

}  // namespace kvr
