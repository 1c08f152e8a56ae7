#pragma once
// Rounding down to a whole number in the simulator's hot loops.
#include <cmath>
#include <cstdint>

namespace kvr::sim {

// std::floor, without a call into the maths library where the processor has no rounding
// instruction to inline (the portable build): whole values (all from 2⁵² on), infinities and NaN
// are their own floor. The same value as std::floor, but +0 for −0.
inline double floor_of(double v) {
    if (!(std::fabs(v) < 0x1p52)) return v;
    const double t = static_cast<double>(static_cast<int64_t>(v));
    return t > v ? t - 1 : t;
}

}  // namespace kvr::sim
