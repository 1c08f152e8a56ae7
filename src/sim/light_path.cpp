#include "sim/light_path.h"

#include <cmath>

namespace kvr::sim {

void LightPath::light(int view, int64_t start_ms, int64_t end_ms, ExposureLight& light) {
    ObservingConditions& c = light.conditions;
    c.seeing_fwhm_px *= atmosphere_.seeing_factor(start_ms, end_ms);
    c.defocus_fwhm_px = std::hypot(c.defocus_fwhm_px, mount_.defocus_fwhm_px(end_ms));
    const double cloud = atmosphere_.cloud_transmission(start_ms, end_ms);
    const double filter = view == 0 && wheel_ ? wheel_->transmission(start_ms, end_ms) : 1.0;
    light.star_share *= cloud * filter;
    light.sky_share *= cloud * filter;
}

ImageShift LightPath::motion(int view, int64_t start_ms, int64_t end_ms) {
    ImageShift s;
    atmosphere_.motion(view, start_ms, end_ms, s.x, s.y);
    return s;
}

}  // namespace kvr::sim
