#include "guiding/training_report.h"

#include <cmath>
#include <cstdio>

#include "guiding/star_figures.h"

namespace kvr {

std::string training_sky_text(const Program& p, Motion ra, Motion dec, double row_height,
                              const char* per, const std::string& faults) {
    const double scale = arcsec_per_column(p);
    const double ra_deg = sky_direction_deg(ra, row_height);
    const double dec_deg = sky_direction_deg(dec, row_height);
    double apart = std::fmod(std::abs(dec_deg - ra_deg), 360.0);
    if (apart > 180) apart = 360 - apart;
    const std::string verdict = faults.empty() ? "sound" : faults.substr(0, faults.find('\n'));
    char text[200];
    std::snprintf(text, sizeof text,
                  "RA %.1f\u2033/%s at %.1f\u00b0, Dec %.1f\u2033/%s at %.1f\u00b0, %.1f\u00b0 "
                  "apart: %s",
                  sky_length(ra, row_height) * scale, per, ra_deg,
                  sky_length(dec, row_height) * scale, per, dec_deg, apart, verdict.c_str());
    return text;
}

}  // namespace kvr
