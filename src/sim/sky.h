#pragma once
// The one sky both camera heads look at: the star field, the observing conditions, and where
// the star images are at any moment (unguided drift plus whatever a mount simulation adds).
// It also owns the simulator's view of the shared clock as a timeline that does not wrap.
#include <cmath>
#include <cstdint>
#include <memory>

#include "core/clock.h"
#include "sim/atmosphere.h"
#include "sim/sim_config.h"
#include "sim/star_field.h"
#include "sim/timeline.h"
#include "sim/whole.h"

namespace kvr::sim {

// A shift of the star images, in main-sensor pixels.
struct ImageShift {
    double x = 0;
    double y = 0;
};

// Moves the star images on top of the drift: a mount responding to guide pulses and slews, an
// AO unit tilting its window. Asked for the shift at any moment of the timeline (also a past one:
// a read asks for the whole interval its light was collected in).
class ImageShiftSource {
  public:
    virtual ~ImageShiftSource() = default;
    virtual ImageShift image_shift_at(int64_t ms) = 0;
    // Called before the star images of a read or a star list ending at `at_ms` are drawn: a
    // source may show another region of the sky there (after a go-to).
    virtual void settle(int64_t /*at_ms*/) {}
};

// The light of one read of one head, after the air, the focuser and the filter.
struct ExposureLight {
    ObservingConditions conditions;
    double star_share = 1;  // share of the stars' light that arrives
    double sky_share = 1;   // share of the sky background
};

// What happens to the light between the sky and a head (view 0 the main head, 1 the guider),
// asked for whole reads after their light was collected.
class SkyEffects {
  public:
    virtual ~SkyEffects() = default;
    // Seeing, focus and throughput of a read over [start, end]; `light` comes in with the
    // sky's own conditions.
    virtual void light(int view, int64_t start_ms, int64_t end_ms, ExposureLight& light) = 0;
    // Image motion of the air averaged over [start, end], sky pixels.
    virtual ImageShift motion(int view, int64_t start_ms, int64_t end_ms) = 0;
    // Brightness of star `star` (its index in the field) over the read, relative to its mean.
    virtual double twinkle(int view, size_t star, int64_t start_ms, int64_t end_ms) = 0;
    // Sky brightness at sky position x relative to the mean.
    virtual double sky_gradient(double x) = 0;
    // Cosmic-ray hits on a head of `columns` × `rows` physical pixels during [start, end).
    virtual size_t cosmic_rays(int view, int columns, int rows, double pixel_area, int64_t start_ms,
                               int64_t end_ms, CosmicRay* out, size_t capacity) = 0;
};

// The rectangle of sky the sensors see (sky pixels); the star field's tile is wrapped around it.
struct SkyArea {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
};

class Sky {
  public:
    Sky(Clock& clock, uint32_t seed, const StarFieldConfig& stars,
        const StarFieldLandmarks& landmarks, const SkyArea& sensors,
        const ObservingConditions& conditions);

    // Milliseconds of the shared clock, unwrapped: starts at the clock's reading when the sky
    // was made and never wraps (callers ask at least once per 49 days).
    int64_t now_ms() { return timeline_.now_ms(); }
    // Blocks on the shared clock until now_ms() reaches `ms`.
    void wait_until(int64_t ms) { timeline_.wait_until(ms); }
    // A copy for a device that keeps its own time on the same timeline.
    const Timeline& timeline() const { return timeline_; }

    const StarField& star_field() const { return field_; }
    // Shows another region of the sky: the random field of `seed`, with the planted stars only
    // in the region the observatory started in.
    void show_region(uint32_t seed, bool home);
    // Lets the image shift source settle before the images at `at_ms` are drawn.
    void settle(int64_t at_ms) {
        if (shift_source_) shift_source_->settle(at_ms);
    }
    ObservingConditions& conditions() { return conditions_; }

    // Sets the drift from now on; the images stay where they are at this moment.
    void set_drift(double x_px_per_s, double y_px_per_s);
    double drift_x_px_per_s() const { return drift_x_; }
    double drift_y_px_per_s() const { return drift_y_; }
    void set_image_shift_source(std::shared_ptr<ImageShiftSource> source) {
        shift_source_ = std::move(source);
    }
    void set_effects(std::shared_ptr<SkyEffects> effects) { effects_ = std::move(effects); }
    SkyEffects* effects() const { return effects_.get(); }
    // The light of a read of head `view` over [start, end].
    ExposureLight exposure_light(int view, int64_t start_ms, int64_t end_ms) {
        ExposureLight light;
        light.conditions = conditions_;
        if (effects_) effects_->light(view, start_ms, end_ms, light);
        return light;
    }
    // Where the star images are moved to at `ms`, relative to their catalogue positions.
    ImageShift image_shift_at(int64_t ms);

    // The image of a star for a given shift, in the copy of the repeating tile that is centred
    // on the sensors' area.
    void star_image(const Star& s, const ImageShift& shift, double& x, double& y) const {
        x = image_x(s, shift);
        y = image_y(s, shift);
    }
    double image_x(const Star& s, const ImageShift& shift) const {
        return wrap(s.x + shift.x, wrap_x0_);
    }
    double image_y(const Star& s, const ImageShift& shift) const {
        return wrap(s.y + shift.y, wrap_y0_);
    }

  private:
    double wrap(double v, double start) const {
        const double tile = field_.tile_px();
        return v - tile * floor_of((v - start) / tile);
    }

    Timeline timeline_;
    StarFieldConfig stars_config_;
    StarFieldLandmarks landmarks_;
    StarField field_;
    ObservingConditions conditions_;
    double wrap_x0_;
    double wrap_y0_;
    // Drift: shift = base + rate · (t − since) / 1000.
    double drift_x_ = 0;
    double drift_y_ = 0;
    double drift_base_x_ = 0;
    double drift_base_y_ = 0;
    int64_t drift_since_ms_;
    std::shared_ptr<ImageShiftSource> shift_source_;
    std::shared_ptr<SkyEffects> effects_;
};

}  // namespace kvr::sim
