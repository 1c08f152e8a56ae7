#pragma once
// Where the sky lies on the sensors, decided by where the mount truly points (with its tracking
// errors) and the AO unit's tilt, through the plate scale and the camera's rotation.
//
// The sky is cut into regions about one star-field tile across, on a grid centred where the
// mount pointed at the start. Each region has its own deterministic random field; the start
// region also holds the planted stars, placed where they are when the mount points as it did at
// the start. A go-to therefore shows other stars, and a guide move shifts the stars of both
// heads by its rate times its length.
#include <cstdint>
#include <memory>

#include "sim/mount.h"
#include "sim/observatory_config.h"
#include "sim/sky.h"

namespace kvr::sim {

class AoUnit;

class PointingView : public ImageShiftSource {
  public:
    PointingView(Mount& mount, std::shared_ptr<AoUnit> ao, Sky& sky,
                 const ObservatoryConfig& config, int64_t start_ms);

    ImageShift image_shift_at(int64_t ms) override;
    void settle(int64_t at_ms) override;

    // Region of the sky shown now: indices along declination and right ascension.
    int region_dec() const { return region_dec_; }
    int region_ra() const { return region_ra_; }

  private:
    void locate(const AxisPosition& p, int& dec_index, int& ra_index) const;
    AxisPosition region_centre(int dec_index, int ra_index) const;

    Mount& mount_;
    std::shared_ptr<AoUnit> ao_;
    Sky& sky_;
    uint32_t seed_;
    double scale_arcsec_per_px_;
    double cos_rotation_;
    double sin_rotation_;
    double region_arcsec_;
    AxisPosition home_;
    int region_dec_ = 0;
    int region_ra_ = 0;
    // The pointing whose stars sit at their catalogue positions in the region shown.
    AxisPosition reference_;
};

}  // namespace kvr::sim
