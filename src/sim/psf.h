#pragma once
// The star image: a seeing profile integrated over each pixel's area, so that a star's light is
// conserved whatever its sub-pixel position and whatever the pixels' shape and spacing.
#include <cstddef>
#include <cstdint>
#include <vector>

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

// Widest stamp in pixels: a full stamp of the largest radius on a grid of unit pitch, plus the
// partly covered pixels at both ends.
inline constexpr int kMaxStampSpan = static_cast<int>(2 * Psf::kLargestRadiusPx) + 3;

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

// Where a grid's rows are kept: row r at rows + ((r − row0) mod count)·stride, from its column
// col0 on, with room for seven pixels more. A ring of kMaxStampSpan rows takes any star.
struct RowStore {
    float* rows = nullptr;
    std::ptrdiff_t stride = 0;
    int count = 1;
};

// Adds to `plane` the light of a star of total `flux` centred at (x, y) (sky pixels). Over the
// whole sky plane the pixels would receive exactly `flux` (less the 1e-4 beyond the stamp); the
// grid's pixels receive what falls on them. A stamp is at most kMaxStampSpan pixels either way.
void add_star(float* plane, const PixelGrid& grid, const Psf& psf, double x, double y, double flux);

// One axis of a star's stamp from StarImages' tables: for i < count, the core's factor is
// max(0, Σ weight[m]·core[m·stride + i]) times core_scale, the halo's likewise.
struct ProfileSpan {
    const float* core;
    const float* halo;
    size_t stride;
    float weight[4];
    float core_scale;
    float halo_scale;
    int count;
};

// The star images of a read with many stars, from tables made once for the read: along each axis,
// the light of the core and of the halo on the pixels around a star's own, against where in that
// pixel its centre lies, interpolated (cubic) between the table's positions. The error is below
// 5e-7 of the flux; add_star integrates each star exactly instead. Memory grows to the largest
// tables made and is kept.
class StarImages {
  public:
    // A star image and the grid pixels [c_first, c_last] × [r_first, r_last] it reaches.
    struct Image {
        double x;
        double y;
        double flux;
        int c_first;
        int c_last;
        int r_first;
        int r_last;
    };

    // Tables for stars imaged as `psf` on `grid`.
    void prepare(const PixelGrid& grid, const Psf& psf);
    // The image of a star of total `flux` centred at (x, y); false when it reaches no pixel.
    bool image(double x, double y, double flux, Image& image) const;
    // As add_star, into the rows of the prepared grid kept in `store`.
    void add(const RowStore& store, const Image& image) const;

  private:
    // One axis: the light on pixel (the star's own) + k, for k from k_lo on, `width` of them (a
    // multiple of four, then eight of zeros), at `phases` + 3 positions of the star's centre from
    // −1/phases to 1 + 1/phases of the way across its pixel; core and halo.
    struct Axis {
        double origin = 0;
        double per_pitch = 1;
        int phases = 0;
        int k_lo = 0;
        int width = 0;
        std::vector<float> core;
        std::vector<float> halo;
        // The pixels' edges and their distribution function while the tables are made.
        std::vector<double> z;
        std::vector<double> cdf;
        void prepare(double origin, double pitch, double size, const Psf& psf);
        // Where the factors of pixels first … last of a star centred at `centre` come from.
        void locate(double centre, int first, int last, ProfileSpan& span) const;
    };
    PixelGrid grid_;
    Psf psf_;
    Axis x_;
    Axis y_;
};

// Adds a star's stamp to rows first_row, first_row + 1, … (counted from the grid's row0) of
// `store`, from column `col` (counted from col0): pixel (i, j) of the stamp receives
// core_y[j]·core_x[i] + halo_y[j]·halo_x[i] with the factors of `x` and `y`.
void draw_profile_stamp(const ProfileSpan& x, const ProfileSpan& y, const RowStore& store,
                        int first_row, int col);

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
void draw_profile_stamp_avx2(const ProfileSpan& x, const ProfileSpan& y, const RowStore& store,
                             int first_row, int col);
// normal_cdf on whole vectors of four from the start of z, with the function's table; returns how
// many it did.
int normal_cdfs_avx2(const double* z, int n, const double* table, double* out);
// For p = 0, 1: the light of a unit-flux Gaussian of width sigma[p] centred at `centre` on the
// n pixels [origin + i·pitch, … + size) from i = first on, times scale[p], into out[p], as the
// portable loop in psf.cpp gives it. out[p] has room for n rounded up to a multiple of four.
void profile_integrals_avx2(float* const out[2], int first, int n, double origin, double pitch,
                            double size, double centre, const double sigma[2],
                            const double scale[2], const double* table);
#endif

}  // namespace kvr::sim
