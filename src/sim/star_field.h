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

    // Sets in `near` (bit i % 64 of word i / 64 for star i; resized to the stars and cleared
    // first) every star that may lie in [x_lo, x_hi] × [y_lo, y_hi] once both are taken modulo
    // the tile: a superset of those that do, for the caller to test exactly. A region a tile or
    // more across takes every star.
    void mark_near(double x_lo, double x_hi, double y_lo, double y_hi,
                   std::vector<uint64_t>& near) const;

  private:
    void add_random_field(uint64_t seed, const StarFieldConfig& config);
    void plant(uint64_t seed, const StarFieldLandmarks& landmarks);
    void index_cells();
    // The cell along one axis of a position taken modulo the tile.
    int cell_of(double v) const;

    // The tile is cut into kCells × kCells cells; cell (cx, cy) holds the stars
    // cell_stars_[cell_start_[cy·kCells + cx] …) (ascending indices).
    static constexpr int kCells = 32;
    double tile_px_;
    std::vector<Star> stars_;
    std::vector<uint32_t> cell_start_;
    std::vector<uint32_t> cell_stars_;
};

}  // namespace kvr::sim
