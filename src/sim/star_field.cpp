#include "sim/star_field.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/random.h"

namespace kvr::sim {

namespace {

// Independent random streams, so that changing one part of the sky leaves the others alone.
constexpr uint64_t kStreamRandomField = 1;
constexpr uint64_t kStreamPlanted = 2;

// A magnitude offset below the brightest star, distributed as the star counts are:
// dN/dm ∝ 10^(slope·m) on [0, range] (inverse of its cumulative distribution).
double draw_magnitude(Rng& rng, double slope, double range) {
    const double u = rng.uniform();
    if (slope <= 0) return u * range;
    return std::log10(1.0 + u * (std::pow(10.0, slope * range) - 1.0)) / slope;
}

}  // namespace

StarField::StarField(uint32_t seed, const StarFieldConfig& config,
                     const StarFieldLandmarks& landmarks, bool planted)
    : tile_px_(config.tile_px) {
    add_random_field(seed, config);
    if (planted) plant(seed, landmarks);
    std::stable_sort(stars_.begin(), stars_.end(), [](const Star& a, const Star& b) {
        return a.flux_adu_per_s > b.flux_adu_per_s;
    });
    index_cells();
}

int StarField::cell_of(double v) const {
    if (!(tile_px_ > 0)) return 0;
    const double cell = std::floor((v - tile_px_ * std::floor(v / tile_px_)) / tile_px_ * kCells);
    return std::clamp(static_cast<int>(cell), 0, kCells - 1);
}

void StarField::index_cells() {
    cell_start_.assign(kCells * kCells + 1, 0);
    for (const Star& s : stars_) ++cell_start_[cell_of(s.y) * kCells + cell_of(s.x) + 1];
    for (size_t c = 1; c < cell_start_.size(); ++c) cell_start_[c] += cell_start_[c - 1];
    cell_stars_.resize(stars_.size());
    std::vector<uint32_t> next(cell_start_.begin(), cell_start_.end() - 1);
    for (size_t i = 0; i < stars_.size(); ++i) {
        const Star& s = stars_[i];
        cell_stars_[next[cell_of(s.y) * kCells + cell_of(s.x)]++] = static_cast<uint32_t>(i);
    }
}

void StarField::mark_near(double x_lo, double x_hi, double y_lo, double y_hi,
                          std::vector<uint64_t>& near) const {
    near.assign((stars_.size() + 63) / 64, 0);
    // The cells an interval touches, counted from cell 0 of the tile it starts in; widened by
    // a pixel for the rounding of positions taken modulo the tile.
    auto cells = [&](double lo, double hi, int& first, int& count) {
        const double cell = tile_px_ / kCells;
        if (!(tile_px_ > 0) || !(hi - lo + 2 < tile_px_)) {
            first = 0;
            count = kCells;
            return;
        }
        first = cell_of(lo - 1);
        count = std::min(kCells, static_cast<int>(std::floor((hi - lo + 2) / cell)) + 2);
    };
    int x_first, x_count, y_first, y_count;
    cells(x_lo, x_hi, x_first, x_count);
    cells(y_lo, y_hi, y_first, y_count);
    for (int j = 0; j < y_count; ++j) {
        const int cy = (y_first + j) % kCells;
        for (int k = 0; k < x_count; ++k) {
            const int c = cy * kCells + (x_first + k) % kCells;
            for (uint32_t n = cell_start_[c]; n < cell_start_[c + 1]; ++n) {
                const uint32_t i = cell_stars_[n];
                near[i / 64] |= uint64_t{1} << (i % 64);
            }
        }
    }
}

void StarField::add_random_field(uint64_t seed, const StarFieldConfig& config) {
    Rng rng(seed, kStreamRandomField);
    const double area_mpx = config.tile_px * config.tile_px / 1e6;
    const auto count = static_cast<size_t>(std::max(0.0, config.stars_per_megapixel * area_mpx));
    stars_.reserve(count + 5);
    for (size_t i = 0; i < count; ++i) {
        Star s;
        s.x = rng.uniform() * config.tile_px;
        s.y = rng.uniform() * config.tile_px;
        const double dm = draw_magnitude(rng, config.count_slope_per_mag, config.magnitude_range);
        s.flux_adu_per_s = config.brightest_flux_adu_per_s * std::pow(10.0, -0.4 * dm);
        stars_.push_back(s);
    }
}

void StarField::plant(uint64_t seed, const StarFieldLandmarks& lm) {
    Rng rng(seed, kStreamPlanted);
    auto jitter = [&](double amplitude) { return (rng.uniform() * 2 - 1) * amplitude; };
    const size_t first = stars_.size();
    stars_.push_back({lm.focus_x + jitter(3), lm.focus_y + jitter(3), kFocusStarFlux});
    stars_.push_back({lm.guider_x + jitter(20), lm.guider_y + jitter(20), kGuideStarFlux});

    // The double and the saturating star go somewhere well inside the main sensor, clear of the
    // planted stars already placed (and of each other), so each case stays clean.
    auto clear_spot = [&](double margin) {
        Star s{};
        for (int attempt = 0; attempt < 100; ++attempt) {
            s.x = margin + rng.uniform() * (lm.main_width - 2 * margin);
            s.y = margin + rng.uniform() * (lm.main_height - 2 * margin);
            bool clear = true;
            for (size_t i = first; i < stars_.size(); ++i) {
                if (std::hypot(stars_[i].x - s.x, stars_[i].y - s.y) < 4 * margin) clear = false;
            }
            if (clear) break;
        }
        return s;
    };
    Star a = clear_spot(40);
    const double angle = rng.uniform() * 2 * std::numbers::pi;
    a.flux_adu_per_s = kDoubleStarFlux;
    Star b{a.x + kDoubleSeparationPx * std::cos(angle), a.y + kDoubleSeparationPx * std::sin(angle),
           0.7 * kDoubleStarFlux};
    stars_.push_back(a);
    stars_.push_back(b);
    Star bright = clear_spot(40);
    bright.flux_adu_per_s = kSaturatingStarFlux;
    stars_.push_back(bright);
}

}  // namespace kvr::sim
