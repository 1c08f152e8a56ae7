#pragma once
// The thresholded median's replacement test |median − pixel| > trunc(d · q), d = max − min of
// the window, q ≥ 0, as the vector loops take it in 16-bit lanes. For an integer a,
// a > trunc(d · q) exactly when a > floor(d · q). When Q = q · 2^32 is an integer below 2^33
// (0 ≤ q < 2, and q = 0 or q ≥ 2^-9), write Q = n · 2^32 + F · 2^16 + G with n = 0 or 1 and F, G
// 16-bit; then
//   floor(d · q) = n · d + hi(d · F) + carry(lo(d · F) + hi(d · G))
// (hi and lo the halves of a 32-bit product), all in 16-bit lanes. The sum saturates at 65535,
// where no 16-bit a exceeds it anyway.
#include <cmath>
#include <cstdint>

namespace kvr {

struct MedianThresholdWords {
    uint16_t high, low;  // F and G
};

// Whether q has the fixed-point form above, with n = 1 when `whole`.
inline bool median_threshold_is_fixed_point(float q, bool whole) {
    const double scaled = std::ldexp(static_cast<double>(q), 32);
    if (!(q >= 0.0f && q < 2.0f) || scaled != std::floor(scaled)) return false;
    return (q >= 1.0f) == whole;
}

// F and G of a q that has the fixed-point form.
inline MedianThresholdWords median_threshold_words(float q) {
    const auto scaled = static_cast<uint64_t>(std::ldexp(static_cast<double>(q), 32));
    return {static_cast<uint16_t>(scaled >> 16), static_cast<uint16_t>(scaled)};
}

}  // namespace kvr
