#include "sim/random.h"

#include <array>
#include <cmath>

namespace kvr::sim {

double inverse_normal_cdf(double p) {
    // Acklam's rational approximation (relative error below 1.2e-9), central region and tails.
    static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                                   -2.759285104469687e+02, 1.383577518672690e+02,
                                   -3.066479806614716e+01, 2.506628277459239e+00};
    static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                                   -1.556989798598866e+02, 6.680131188771972e+01,
                                   -1.328068155288572e+01};
    static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                                   -2.400758277161838e+00, -2.549732539343734e+00,
                                   4.374664141464968e+00,  2.938163982698783e+00};
    static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01,
                                   2.445134137142996e+00, 3.754408661907416e+00};
    constexpr double kLow = 0.02425;
    if (p < kLow) {
        const double q = std::sqrt(-2 * std::log(p));
        return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
               ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    if (p > 1 - kLow) return -inverse_normal_cdf(1 - p);
    const double q = p - 0.5;
    const double r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
           (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
}

double Rng::normal() {
    const double p = (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53;
    return inverse_normal_cdf(p);
}

NoiseLanes::NoiseLanes(Rng& rng) {
    uint64_t seed = rng.next();
    for (int i = 0; i < kLanes; ++i) {
        const uint64_t a = splitmix64(seed);
        const uint64_t b = splitmix64(seed);
        s[0][i] = static_cast<uint32_t>(a) | 1;  // a lane's state is never all zero
        s[1][i] = static_cast<uint32_t>(a >> 32);
        s[2][i] = static_cast<uint32_t>(b);
        s[3][i] = static_cast<uint32_t>(b >> 32);
    }
}

const float* NormalSource::table() {
    // Midpoints of kTableSize equal-probability slices: the table's mean is exactly 0 and its
    // variance within 0.1 % of 1.
    static const std::array<float, kTableSize> values = [] {
        std::array<float, kTableSize> t{};
        for (int i = 0; i < kTableSize; ++i) {
            t[i] = static_cast<float>(inverse_normal_cdf((i + 0.5) / kTableSize));
        }
        return t;
    }();
    return values.data();
}

}  // namespace kvr::sim
