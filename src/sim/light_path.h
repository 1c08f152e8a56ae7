#pragma once
// The light path of the simulated observatory: the air (seeing, image motion, cloud,
// scintillation, cosmic rays, sky gradient), the focuser's blur on both heads, and the filter
// wheel in front of the main head only (the guider's pick-off sits before it).
#include <memory>

#include "sim/atmosphere.h"
#include "sim/filter_wheel.h"
#include "sim/mount.h"
#include "sim/sky.h"

namespace kvr::sim {

class LightPath : public SkyEffects {
  public:
    LightPath(const Atmosphere& atmosphere, Mount& mount, std::shared_ptr<FilterWheel> wheel,
              double main_width_px)
        : atmosphere_(atmosphere),
          mount_(mount),
          wheel_(std::move(wheel)),
          main_width_px_(main_width_px) {}

    void light(int view, int64_t start_ms, int64_t end_ms, ExposureLight& light) override;
    ImageShift motion(int view, int64_t start_ms, int64_t end_ms) override;
    double twinkle(int view, size_t star, int64_t start_ms, int64_t end_ms) override {
        return atmosphere_.twinkle(view, star, start_ms, end_ms);
    }
    double sky_gradient(double x) override { return atmosphere_.sky_gradient(x, main_width_px_); }
    size_t cosmic_rays(int view, int columns, int rows, double pixel_area, int64_t start_ms,
                       int64_t end_ms, CosmicRay* out, size_t capacity) override {
        return atmosphere_.cosmic_rays(view, columns, rows, pixel_area, start_ms, end_ms, out,
                                       capacity);
    }

  private:
    Atmosphere atmosphere_;
    Mount& mount_;
    std::shared_ptr<FilterWheel> wheel_;
    double main_width_px_;
};

}  // namespace kvr::sim
