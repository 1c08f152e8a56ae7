#pragma once
// One sensor head of the simulated camera as its reads see it: where its pixels lie on the sky,
// its interlaced fields and when each last started collecting light, its fixed pattern (dark
// current, hot pixels, sensitivity) and converter, and the rendering of a read into exactly the
// bytes the head sends.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "camera/camera_protocol.h"
#include "sim/psf.h"
#include "sim/random.h"
#include "sim/sensor_pixels.h"
#include "sim/sim_config.h"
#include "sim/sky.h"

namespace kvr::sim {

struct HeadGeometry {
    int columns = 0;
    // Rows of one field: what a read's y offset and height count.
    int field_rows = 0;
    // 2: interlaced, field f (0-based) holds physical rows f, f + 2, …; 1: a single field.
    int fields = 1;
    // Sky position of the sensor's corner and sky pixels per sensor pixel, per physical row.
    double origin_x = 0;
    double origin_y = 0;
    double scale_x = 1;
    double scale_y = 1;
    // 2: 16-bit samples, low byte first; 1: 8-bit samples.
    int bytes_per_sample = 2;
    // Which head this is for the sky's effects: 0 the main head, 1 the guider.
    int view = 0;
};

// The fields a read takes (0-based) and the interval in which each collected its light.
struct FieldTransfer {
    int count = 0;
    int field[2] = {};
    int64_t start_ms[2] = {};
    int64_t end_ms[2] = {};
};

// A star on a sensor in that sensor's pixel coordinates: pixel (c, r) spans [c, c + 1) ×
// [r, r + 1), r counting physical rows (on the main head both fields interleaved, 0 … 579), so
// a star at (10.5, 20.5) sits in the middle of pixel (10, 20). The flux is what reaches the
// sensor (after throughput, before vignetting), charge ADU per second.
struct SensorStar {
    double x = 0;
    double y = 0;
    double flux_adu_per_s = 0;
};

class SensorHead {
  public:
    SensorHead(const HeadGeometry& geometry, const SensorConfig& sensor, uint32_t seed,
               uint64_t stream);

    const HeadGeometry& geometry() const { return geo_; }
    // Converter settings (bias, read noise) may change at any time; the fixed pattern was made
    // from the settings at construction.
    SensorConfig& sensor() { return sensor_; }

    // Whether the head can answer `r`: the window lies on the sensor, the binning leaves at
    // least one pixel, the field selector names a field.
    bool accepts(const ReadRequest& r) const;
    size_t reply_pixels(const ReadRequest& r) const;
    size_t reply_bytes(const ReadRequest& r) const {
        return reply_pixels(r) * static_cast<size_t>(geo_.bytes_per_sample);
    }

    // Empties every photosite: all fields start collecting light at `at_ms`.
    void clear(int64_t at_ms);
    // Moves the charge of the selected fields into the shift registers at `at_ms`: reports what
    // each collected since its last clear or transfer, and starts it afresh.
    FieldTransfer transfer(uint16_t field_selector, int64_t at_ms);

    // Writes the pixel block answering `r` (reply_bytes(r) bytes) for the light collected as
    // `fields` says. No allocation: the planes were sized for a whole sensor at construction.
    void render(const ReadRequest& r, const FieldTransfer& fields, Sky& sky, double throughput,
                bool noise, Rng& rng, uint8_t* out);

    // The stars whose centres fall on this sensor at `at_ms`.
    std::vector<SensorStar> stars(Sky& sky, int64_t at_ms, double throughput) const;

  private:
    PixelGrid field_grid(const ReadRequest& r, int field) const;
    // Most cosmic-ray hits drawn into one read.
    static constexpr size_t kMostCosmicRays = 64;
    // What turns one field's collected light into charge: its dark time and the cosmic rays that
    // hit its read's pixels (grid row and column), added in this order after the exposure.
    struct FieldCharge {
        int field = 0;
        float dark_seconds = 0;
        size_t rays = 0;
        struct Hit {
            int row;
            int column;
            float charge;
        } hit[kMostCosmicRays];
    };
    // The photosites whose charge makes each pixel of a read's grid: bin_cols × bin_rows of
    // them from photosite (first_col, first_row) on, rows counted in field `field`'s rows, or in
    // physical rows for −1 (both fields of an interlaced head).
    struct PhotositeBlocks {
        int field = 0;
        int first_col = 0;
        int first_row = 0;
        int bin_cols = 1;
        int bin_rows = 1;
    };
    // A read whose output pixels each sum several photosites (binned, or both fields of an
    // interlaced head) whose light was all collected over one interval: its grid is the output
    // pixels themselves, each the sky area of its photosites.
    struct SummedRead {
        PixelGrid grid;
        PhotositeBlocks blocks;
        // Index in the fixed pattern of the first photosite, and between photosite rows.
        size_t first = 0;
        std::ptrdiff_t stride = 0;
    };
    // Which photosites the fixed pattern's sums (mean_response_, dark_sum_) were made for.
    struct SumsKey {
        size_t first = 0;
        std::ptrdiff_t stride = 0;
        int cols = 0;
        int rows = 0;
        int bin_cols = 0;
        int bin_rows = 0;
        bool operator==(const SumsKey&) const = default;
    };

    Converter converter(bool noise) const;
    // The sky's light over `seconds` on each pixel of a row of `grid` (its gradient across the
    // columns), charge ADU before the sensitivity.
    void sky_light_row(const PixelGrid& grid, const ExposureLight& light, double throughput,
                       double seconds, SkyEffects* effects, float* row) const;
    // Calls add(x, y, flux) for every star image of [start, end] that may reach the grid (imaged
    // as `psf`), per sample of the images' path, with its share of the light: stars in the
    // field's order, each one's samples in time order.
    template <typename AddStar>
    void draw_stars(const PixelGrid& g, int64_t start_ms, int64_t end_ms, Sky& sky,
                    const ExposureLight& light, const Psf& psf, double throughput, double seconds,
                    AddStar&& add);
    // The light on each pixel of `grid` (made of `blocks`), and the cosmic rays that hit them.
    void collect_light(float* plane, const PixelGrid& grid, const PhotositeBlocks& blocks,
                       int64_t start_ms, int64_t end_ms, Sky& sky, double throughput,
                       FieldCharge& charge);
    void record_cosmic_rays(const PixelGrid& grid, const PhotositeBlocks& blocks, int64_t start_ms,
                            int64_t end_ms, SkyEffects& effects, FieldCharge& charge) const;
    // Row r of a plane (`cols` pixels) as charge: the light times the sensitivity, the dark
    // current over the dark time, the cosmic rays.
    void expose_plane_row(const float* plane_row, const float* response, const float* dark,
                          int cols, int r, const FieldCharge& charge, float* out) const;
    void digitize(const ReadRequest& r, const FieldTransfer& fields, const PixelGrid& grid,
                  bool noise, Rng& rng, uint8_t* out);
    // With noise, a read that sums photosites over one interval is drawn straight onto its output
    // pixels: the light on each one's photosites together times their mean sensitivity, their
    // summed dark current and cosmic-ray hits, one noise draw (convert_summed_row).
    bool sums_photosites(const ReadRequest& r, const FieldTransfer& fields) const;
    SummedRead summed_read(const ReadRequest& r, const FieldTransfer& fields) const;
    void sum_fixed_pattern(const SummedRead& read);
    void render_summed(const ReadRequest& r, const FieldTransfer& fields, Sky& sky,
                       double throughput, Rng& rng, uint8_t* out);
    void make_fixed_pattern(uint32_t seed, uint64_t stream);

    HeadGeometry geo_;
    SensorConfig sensor_;
    // Per physical pixel (row-major, physical rows): dark current in charge ADU per second, and
    // relative sensitivity.
    std::vector<float> dark_;
    std::vector<float> response_;
    // Expected charge of a read's pixels, one plane per field.
    std::vector<float> planes_[2];
    FieldCharge charges_[2];
    // Expected charge of one output row, in whole pairs of noise blocks.
    std::vector<float> row_charge_;
    // One row of a plane as charge, before binning; a summing read's sky row. As long as
    // row_charge_.
    std::vector<float> exposed_row_;
    // Over each output pixel's photosites of a summing read (those of sums_key_): the mean
    // sensitivity and the summed dark current.
    std::vector<float> mean_response_;
    std::vector<float> dark_sum_;
    SumsKey sums_key_;
    // The stars near a read's grid, one bit each (StarField::mark_near).
    std::vector<uint64_t> near_;
    // A summing read's star images, each drawn into the ring of rows (kMaxStampSpan of them, each a
    // row of the widest read and a vector's worth more) when its first row comes up.
    StarImages images_;
    std::vector<StarImages::Image> draws_;
    std::vector<uint32_t> draw_order_;
    std::vector<uint32_t> row_draws_;
    std::vector<float> ring_;
    // A row of ones and one of zeros, as long as row_charge_.
    std::vector<float> unit_row_;
    std::vector<float> zero_row_;
    int64_t field_start_ms_[2] = {};
};

}  // namespace kvr::sim
