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

    void collect_light(float* plane, const PixelGrid& grid, int field, int64_t start_ms,
                       int64_t end_ms, Sky& sky, double throughput, FieldCharge& charge);
    void record_cosmic_rays(const PixelGrid& grid, int field, int64_t start_ms, int64_t end_ms,
                            SkyEffects& effects, FieldCharge& charge) const;
    // Row r of a field's plane as charge: the light times the sensitivity, the dark current, the
    // cosmic rays.
    void expose_plane_row(const float* plane_row, const PixelGrid& g, int r,
                          const FieldCharge& charge, float* out) const;
    void digitize(const ReadRequest& r, const FieldTransfer& fields, const PixelGrid& grid,
                  bool noise, Rng& rng, uint8_t* out);
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
    // Expected charge of one output row, in whole noise blocks.
    std::vector<float> row_charge_;
    // One row of a plane as charge, before binning.
    std::vector<float> exposed_row_;
    int64_t field_start_ms_[2] = {};
};

}  // namespace kvr::sim
