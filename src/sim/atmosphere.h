#pragma once
// The air above the telescope, deterministic by seed and asked about any moment (a read asks
// after its light is collected): image motion that differs between the two heads, seeing that
// varies from frame to frame, scintillation, passing thin cloud, cosmic-ray hits and a sky
// brightness gradient. Switched off, it changes nothing.
#include <cstddef>
#include <cstdint>

#include "sim/observatory_config.h"

namespace kvr::sim {

// A smooth random function of time: independent standard normal values every `step_ms`, joined
// by straight lines.
class ValueNoise {
  public:
    ValueNoise(uint64_t seed, uint64_t stream, double step_ms)
        : seed_(seed), stream_(stream), step_ms_(step_ms) {}
    double at(double ms) const;
    // The average over [start, end] (the value at start when they agree).
    double mean(double start_ms, double end_ms) const;

  private:
    double node(int64_t k) const;
    uint64_t seed_;
    uint64_t stream_;
    double step_ms_;
};

// A cosmic ray's hit: sensor column and physical row of the head, and its charge (ADU).
struct CosmicRay {
    int column = 0;
    int row = 0;
    double charge = 0;
};

class Atmosphere {
  public:
    // Heads: 0 the main sensor, 1 the guider. `plate_scale` turns arcseconds into sky pixels.
    static constexpr int kViews = 2;

    Atmosphere(const AtmosphereConfig& config, uint32_t seed, double plate_scale_arcsec_per_px);

    bool enabled() const { return config_.enabled; }
    // Image motion averaged over [start, end], sky pixels.
    void motion(int view, int64_t start_ms, int64_t end_ms, double& x, double& y) const;
    // The seeing over [start, end] as a multiple of its setting.
    double seeing_factor(int64_t start_ms, int64_t end_ms) const;
    // Share of light passing the cloud, averaged over [start, end].
    double cloud_transmission(int64_t start_ms, int64_t end_ms) const;
    // A star's brightness over [start, end] relative to its mean (scintillation).
    double twinkle(int view, size_t star, int64_t start_ms, int64_t end_ms) const;
    // Sky brightness at sky position x relative to the mean over a sensor `width` wide.
    double sky_gradient(double x, double width) const;
    // The hits on a head of `columns` × `rows` pixels (each `pixel_area` sky pixels) during
    // [start, end): at most `capacity` of them into `out`; returns how many.
    size_t cosmic_rays(int view, int columns, int rows, double pixel_area, int64_t start_ms,
                       int64_t end_ms, CosmicRay* out, size_t capacity) const;

  private:
    AtmosphereConfig config_;
    uint32_t seed_;
    // Per view: motion shared with the other head and its own, x and y; each scaled so that
    // a one-second average has the configured rms.
    ValueNoise shared_x_, shared_y_;
    ValueNoise own_x_[kViews], own_y_[kViews];
    double motion_scale_px_ = 0;
    ValueNoise seeing_;
};

}  // namespace kvr::sim
