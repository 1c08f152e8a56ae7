#pragma once
// The one sky both camera heads look at: the star field, the observing conditions, and where
// the star images are at any moment (unguided drift plus whatever a mount simulation adds).
// It also owns the simulator's view of the shared clock as a timeline that does not wrap.
#include <cstdint>
#include <memory>

#include "core/clock.h"
#include "sim/sim_config.h"
#include "sim/star_field.h"

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
    int64_t now_ms();
    // Blocks on the shared clock until now_ms() reaches `ms`.
    void wait_until(int64_t ms);

    const StarField& star_field() const { return field_; }
    ObservingConditions& conditions() { return conditions_; }

    // Sets the drift from now on; the images stay where they are at this moment.
    void set_drift(double x_px_per_s, double y_px_per_s);
    double drift_x_px_per_s() const { return drift_x_; }
    double drift_y_px_per_s() const { return drift_y_; }
    void set_image_shift_source(std::shared_ptr<ImageShiftSource> source) {
        shift_source_ = std::move(source);
    }
    // Where the star images are moved to at `ms`, relative to their catalogue positions.
    ImageShift image_shift_at(int64_t ms);

    // The image of a star for a given shift, in the copy of the repeating tile that is centred
    // on the sensors' area.
    void star_image(const Star& s, const ImageShift& shift, double& x, double& y) const {
        x = wrap(s.x + shift.x, wrap_x0_);
        y = wrap(s.y + shift.y, wrap_y0_);
    }

  private:
    double wrap(double v, double start) const;

    Clock& clock_;
    uint32_t last_clock_ms_;
    int64_t now_ms_;
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
};

}  // namespace kvr::sim
