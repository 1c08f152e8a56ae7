#pragma once
// Angles of the simulated sky in arcseconds, right ascension counted as an angle too.
#include <cmath>
#include <numbers>

namespace kvr::sim {

inline constexpr double kArcsecPerDeg = 3600.0;
inline constexpr double kFullCircleArcsec = 360.0 * kArcsecPerDeg;
inline constexpr double kRadPerArcsec = std::numbers::pi / 180.0 / kArcsecPerDeg;

// The same angle in (−180°, 180°].
inline double wrap_half_circle(double arcsec) {
    arcsec = std::fmod(arcsec, kFullCircleArcsec);
    if (arcsec > kFullCircleArcsec / 2) arcsec -= kFullCircleArcsec;
    if (arcsec <= -kFullCircleArcsec / 2) arcsec += kFullCircleArcsec;
    return arcsec;
}

// The same angle in [0°, 360°).
inline double wrap_full_circle(double arcsec) {
    arcsec = std::fmod(arcsec, kFullCircleArcsec);
    return arcsec < 0 ? arcsec + kFullCircleArcsec : arcsec;
}

}  // namespace kvr::sim
