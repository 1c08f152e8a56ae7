#pragma once
// The deterministic star field: positions and brightnesses drawn from a seed, with a realistic
// luminosity distribution (many faint stars, few bright ones), plus a few stars planted on
// purpose where the program needs them or where they make its work hard.
#include <cstdint>
#include <vector>

#include "sim/sim_config.h"

namespace kvr::sim {

struct Star {
    double x = 0;  // sky pixels
    double y = 0;
    double flux_adu_per_s = 0;  // total over the whole star image, before any throughput
};

// Where the planted stars go (sky pixels).
struct StarFieldLandmarks {
    double main_width = 0;  // the main sensor spans [0, main_width) × [0, main_height)
    double main_height = 0;
    double focus_x = 0;  // centre of the default focus window
    double focus_y = 0;
    double guider_x = 0;  // centre of the guider's field
    double guider_y = 0;
};

class StarField {
  public:
    // Fluxes of the planted stars (ADU per second): one in the default focus window bright enough
    // for a one-second focus frame, one guide star in the guider's field, a close double (two
    // stars 3.2 pixels apart that a centroid finder must not confuse) and one star that
    // saturates the main sensor in a fraction of a second.
    static constexpr double kFocusStarFlux = 2.0e5;
    static constexpr double kGuideStarFlux = 1.2e5;
    static constexpr double kDoubleStarFlux = 1.0e5;
    static constexpr double kDoubleSeparationPx = 3.2;
    static constexpr double kSaturatingStarFlux = 4.0e6;

    // Without `planted`, only the random field (another region of the sky).
    StarField(uint32_t seed, const StarFieldConfig& config, const StarFieldLandmarks& landmarks,
              bool planted = true);

    // Brightest first. Random-field positions lie in [0, tile) both ways; planted ones where
    // they were put (the sky wraps them like any other).
    const std::vector<Star>& stars() const { return stars_; }
    double tile_px() const { return tile_px_; }

  private:
    void add_random_field(uint64_t seed, const StarFieldConfig& config);
    void plant(uint64_t seed, const StarFieldLandmarks& landmarks);

    double tile_px_;
    std::vector<Star> stars_;
};

}  // namespace kvr::sim
