#include "sim/pointing_view.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/angles.h"
#include "sim/ao_unit.h"
#include "sim/random.h"

namespace kvr::sim {

namespace {

// The region shown changes once the pointing is this many region widths from its centre, so
// that tracking errors at a border do not flip between two regions.
constexpr double kRegionReach = 0.6;
// Regions near the pole stay at least this wide in right ascension (as cos δ).
constexpr double kSmallestCosDec = 0.05;

double cos_dec(double dec_arcsec) {
    return std::max(kSmallestCosDec, std::cos(dec_arcsec * kRadPerArcsec));
}

}  // namespace

PointingView::PointingView(Mount& mount, std::shared_ptr<AoUnit> ao, Sky& sky,
                           const ObservatoryConfig& config, int64_t start_ms)
    : mount_(mount),
      ao_(std::move(ao)),
      sky_(sky),
      seed_(config.camera.seed),
      scale_arcsec_per_px_(config.optics.plate_scale_arcsec_per_px),
      cos_rotation_(std::cos(config.optics.rotation_deg * std::numbers::pi / 180)),
      sin_rotation_(std::sin(config.optics.rotation_deg * std::numbers::pi / 180)),
      region_arcsec_(config.camera.star_field.tile_px * config.optics.plate_scale_arcsec_per_px),
      home_(mount.true_pointing(start_ms)),
      reference_(home_) {}

void PointingView::locate(const AxisPosition& p, int& dec_index, int& ra_index) const {
    dec_index = static_cast<int>(std::floor((p.dec - home_.dec) / region_arcsec_ + 0.5));
    const double ra_width = region_arcsec_ / cos_dec(region_centre(dec_index, 0).dec);
    ra_index = static_cast<int>(std::floor(wrap_half_circle(p.ra - home_.ra) / ra_width + 0.5));
}

AxisPosition PointingView::region_centre(int dec_index, int ra_index) const {
    const double dec = home_.dec + dec_index * region_arcsec_;
    return {home_.ra + ra_index * region_arcsec_ / cos_dec(dec), dec};
}

void PointingView::settle(int64_t at_ms) {
    const AxisPosition p = mount_.true_pointing(at_ms);
    const AxisPosition centre = region_centre(region_dec_, region_ra_);
    const double reach = kRegionReach * region_arcsec_;
    if (std::fabs(p.dec - centre.dec) < reach &&
        std::fabs(wrap_half_circle(p.ra - centre.ra)) * cos_dec(centre.dec) < reach) {
        return;
    }
    locate(p, region_dec_, region_ra_);
    const bool home = region_dec_ == 0 && region_ra_ == 0;
    uint64_t mix = (uint64_t{seed_} << 32) ^ (static_cast<uint64_t>(region_dec_ & 0xFFFF) << 16) ^
                   static_cast<uint64_t>(region_ra_ & 0xFFFF);
    const auto region_seed = static_cast<uint32_t>(splitmix64(mix));
    sky_.show_region(home ? seed_ : region_seed, home);
    reference_ = home ? home_ : region_centre(region_dec_, region_ra_);
}

ImageShift PointingView::image_shift_at(int64_t ms) {
    const AxisPosition p = mount_.true_pointing(ms);
    double east = wrap_half_circle(p.ra - reference_.ra) * cos_dec(reference_.dec);
    double north = p.dec - reference_.dec;
    if (ao_) {
        const AoOffset tilt = ao_->offset_at(ms);
        east += tilt.ew * ao_->step_arcsec();
        north += tilt.ns * ao_->step_arcsec();
    }
    // Unrotated, north is up and east left: pointing further east or north moves the stars
    // right (+x) or down (+y).
    const double x = east / scale_arcsec_per_px_;
    const double y = north / scale_arcsec_per_px_;
    return {x * cos_rotation_ - y * sin_rotation_, x * sin_rotation_ + y * cos_rotation_};
}

}  // namespace kvr::sim
