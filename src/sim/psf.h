#pragma once
// The star image: a seeing profile integrated over each pixel's area, so that a star's light is
// conserved whatever its sub-pixel position and whatever the pixels' shape and spacing.
#include "kernels/simd_dispatch.h"
#include "sim/sim_config.h"

namespace kvr::sim {

// A seeing-limited profile: a Gaussian core and a wider Gaussian halo carrying part of the light
// (the wings a Moffat profile has). Both are separable, so the light on a rectangular pixel is a
// product of two one-dimensional integrals, each a difference of the normal distribution
// function at the pixel's edges. Lengths in sky pixels.
struct Psf {
    static constexpr double kHaloWidthRatio = 2.5;
    static constexpr double kHaloFraction = 0.12;
    static constexpr double kSmallestFwhmPx = 0.5;
    // A stamp never reaches further than this; sized for heavy defocus.
    static constexpr double kLargestRadiusPx = 60.0;

    double core_sigma_px = 1.0;
    double halo_sigma_px = 2.5;
    double halo_fraction = kHaloFraction;
    // Half-width of the square a star is drawn in: 4 halo sigmas, beyond which less than 1e-4 of
    // the light falls.
    double radius_px = 10.0;

    static Psf from(const ObservingConditions& conditions);
};

// The pixels of one read on the sky: pixel (c, r), for c in [col0, col0 + cols) and r in
// [row0, row0 + rows), covers [origin_x + c·pitch_x, … + size_x) × [origin_y + r·pitch_y,
// … + size_y). The rows of one interlaced field are two sensor rows apart and one tall; the
// guider's rows are two sensor rows apart and two tall (a sensor row is kMainRowSkyPx). A plane
// holds the grid's pixels row after row, `cols` per row.
struct PixelGrid {
    double origin_x = 0;
    double pitch_x = 1;
    double size_x = 1;
    double origin_y = 0;
    double pitch_y = 1;
    double size_y = 1;
    int col0 = 0;
    int cols = 0;
    int row0 = 0;
    int rows = 0;
};

// Adds to `plane` the light of a star of total `flux` centred at (x, y) (sky pixels). Over the
// whole sky plane the pixels would receive exactly `flux` (less the 1e-4 beyond the stamp); the
// grid's pixels receive what falls on them.
void add_star(float* plane, const PixelGrid& grid, const Psf& psf, double x, double y, double flux);

// The distribution function's table: nodes every 1/kCdfNodesPerUnit from −kCdfRange to kCdfRange.
inline constexpr double kCdfRange = 8.0;
inline constexpr int kCdfNodesPerUnit = 256;
// The last interval between two nodes: a z a rounding below kCdfRange lands on the top node, and
// is interpolated in this interval (at its end) rather than past the table.
inline constexpr int kCdfLastInterval = static_cast<int>(2 * kCdfRange) * kCdfNodesPerUnit - 1;

// The standard normal distribution function, from a table: exact at its nodes (every 1/256),
// linear between them (error below 1e-6), 0 and 1 beyond ±8.
double normal_cdf(double z);
// out[k] = normal_cdf(z[k]) for k < n, the same bits.
void normal_cdfs(const double* z, int n, double* out);

#if KVR_HAVE_AVX2_PATHS
// normal_cdf on whole vectors of four from the start of z, with the function's table; returns how
// many it did.
int normal_cdfs_avx2(const double* z, int n, const double* table, double* out);
#endif

}  // namespace kvr::sim
