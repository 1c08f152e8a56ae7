#include "sim/sky.h"

#include <cmath>

namespace kvr::sim {

Sky::Sky(Clock& clock, uint32_t seed, const StarFieldConfig& stars,
         const StarFieldLandmarks& landmarks, const SkyArea& sensors,
         const ObservingConditions& conditions)
    : timeline_(clock),
      stars_config_(stars),
      landmarks_(landmarks),
      field_(seed, stars, landmarks),
      conditions_(conditions),
      // Centre the tile on the sensors' area so that the seams of the repeating sky lie as far
      // from both sensors as the tile allows.
      wrap_x0_((sensors.x0 + sensors.x1) / 2 - stars.tile_px / 2),
      wrap_y0_((sensors.y0 + sensors.y1) / 2 - stars.tile_px / 2),
      drift_since_ms_(timeline_.now_ms()) {}

void Sky::show_region(uint32_t seed, bool home) {
    field_ = StarField(seed, stars_config_, landmarks_, home);
}

void Sky::set_drift(double x_px_per_s, double y_px_per_s) {
    const int64_t now = now_ms();
    const double seconds = static_cast<double>(now - drift_since_ms_) / 1000.0;
    drift_base_x_ += drift_x_ * seconds;
    drift_base_y_ += drift_y_ * seconds;
    drift_since_ms_ = now;
    drift_x_ = x_px_per_s;
    drift_y_ = y_px_per_s;
}

ImageShift Sky::image_shift_at(int64_t ms) {
    const double seconds = static_cast<double>(ms - drift_since_ms_) / 1000.0;
    ImageShift s{drift_base_x_ + drift_x_ * seconds, drift_base_y_ + drift_y_ * seconds};
    if (shift_source_) {
        const ImageShift extra = shift_source_->image_shift_at(ms);
        s.x += extra.x;
        s.y += extra.y;
    }
    return s;
}

}  // namespace kvr::sim
