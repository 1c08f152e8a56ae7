#include "guiding/training_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kvr {

namespace {

void add(std::string& out, const char* format, double a = 0, double b = 0) {
    char line[160];
    std::snprintf(line, sizeof line, format, a, b);
    if (!out.empty()) out += '\n';
    out += line;
}

}  // namespace

double sky_length(Motion m, double row_height) {
    return std::hypot(m.x, m.y * row_height);
}

double sky_direction_deg(Motion m, double row_height) {
    return std::atan2(m.y * row_height, m.x) * kDegreesPerRadian;
}

std::string training_faults(const TrainingMeasure& m) {
    std::string out;
    const double ra = sky_length(m.ra, m.row_height);
    const double dec = sky_length(m.dec, m.row_height);
    if (!m.star_every_step) add(out, "the guide star was not found at every step");
    if (m.flux_low < kMinStarFluxShare || m.flux_high > kMaxStarFluxShare)
        add(out,
            "the star's brightness went from %.2f to %.2f of its median (cloud, or another star)",
            m.flux_low, m.flux_high);
    if (ra < kMinTrainingMovePx) add(out, "RA moved the star only %.1f px", ra);
    if (dec < kMinTrainingMovePx) add(out, "Dec moved the star only %.1f px", dec);
    if (ra >= kMinTrainingMovePx && dec >= kMinTrainingMovePx) {
        if (m.angle_known) {
            const double a = std::atan2(m.ra.y * m.row_height, m.ra.x);
            const double b = std::atan2(m.dec.y * m.row_height, m.dec.x);
            const double apart = std::abs(std::remainder(a - b, 3.14159265358979323846));
            const double skew = std::abs(90.0 - apart * kDegreesPerRadian);
            if (skew > kMaxAxesSkewDeg)
                add(out, "RA and Dec moved the star %.0f deg apart, not 90",
                    apart * kDegreesPerRadian);
        }
        const double proportion = std::max(ra, dec) / std::min(ra, dec);
        if (proportion > kMaxRateProportion)
            add(out, "RA and Dec rates differ %.1f times", proportion);
        if (m.repeat_spread > kMaxRepeatShare * std::max(ra, dec) + 1.0)
            add(out, "equal test moves differed by %.1f px", m.repeat_spread);
        const double ra_play = sky_length(m.ra_play, m.row_height);
        const double dec_play = sky_length(m.dec_play, m.row_height);
        if (ra_play > ra)
            add(out, "RA play of %.1f px is more than a test move (%.1f px)", ra_play, ra);
        if (dec_play > dec)
            add(out, "Dec play of %.1f px is more than a test move (%.1f px)", dec_play, dec);
    }
    return out;
}

}  // namespace kvr
