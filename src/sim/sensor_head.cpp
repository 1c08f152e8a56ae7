#include "sim/sensor_head.h"

#include <algorithm>
#include <cmath>

#include "sim/sensor_pixels.h"

namespace kvr::sim {

namespace {

// A read samples the star images' path through its interval at this many moments; when the
// images moved less than kStillPx from their mean position the whole light is drawn once there.
constexpr int kPathSamples = 16;
constexpr double kStillPx = 0.2;

// The path of the star images during [start, end]: `count` positions, each carrying an equal
// share of the light.
struct ImagePath {
    int count = 0;
    ImageShift at[kPathSamples];
};

// Each sample stands for a sixteenth of the interval: the air's motion is averaged over it, so
// long reads see less of it.
ImagePath sample_path(Sky& sky, int view, int64_t start_ms, int64_t end_ms) {
    ImagePath path;
    ImageShift mean{};
    SkyEffects* effects = sky.effects();
    const auto span = static_cast<double>(end_ms - start_ms);
    auto moment = [&](double share) {
        return start_ms + static_cast<int64_t>(std::llround(span * share));
    };
    for (int i = 0; i < kPathSamples; ++i) {
        path.at[i] = sky.image_shift_at(moment((i + 0.5) / kPathSamples));
        if (effects) {
            const ImageShift air = effects->motion(view, moment(double(i) / kPathSamples),
                                                   moment(double(i + 1) / kPathSamples));
            path.at[i].x += air.x;
            path.at[i].y += air.y;
        }
        mean.x += path.at[i].x / kPathSamples;
        mean.y += path.at[i].y / kPathSamples;
    }
    double furthest = 0;
    for (const ImageShift& s : path.at)
        furthest = std::max(furthest, std::hypot(s.x - mean.x, s.y - mean.y));
    if (furthest < kStillPx) {
        path.count = 1;
        path.at[0] = mean;
    } else {
        path.count = kPathSamples;
    }
    return path;
}

}  // namespace

SensorHead::SensorHead(const HeadGeometry& geometry, const SensorConfig& sensor, uint32_t seed,
                       uint64_t stream)
    : geo_(geometry), sensor_(sensor) {
    const size_t field_pixels = static_cast<size_t>(geo_.columns) * geo_.field_rows;
    for (int f = 0; f < geo_.fields && f < 2; ++f) planes_[f].assign(field_pixels, 0.0f);
    row_charge_.assign(static_cast<size_t>(noise_blocks(geo_.columns)) * kNoiseBlock, 0.0f);
    exposed_row_.assign(static_cast<size_t>(geo_.columns), 0.0f);
    make_fixed_pattern(seed, stream);
}

void SensorHead::make_fixed_pattern(uint32_t seed, uint64_t stream) {
    const int rows = geo_.field_rows * geo_.fields;
    const size_t n = static_cast<size_t>(geo_.columns) * rows;
    dark_.resize(n);
    response_.resize(n);
    Rng rng(seed, stream);
    NormalSource normal(rng);
    for (int r = 0; r < rows; ++r) {
        const double dy = 2.0 * (r + 0.5) / rows - 1.0;
        for (int c = 0; c < geo_.columns; ++c) {
            const double dx = 2.0 * (c + 0.5) / geo_.columns - 1.0;
            const double vignetted = 1.0 - sensor_.vignetting * (dx * dx + dy * dy) / 2.0;
            const size_t i = static_cast<size_t>(r) * geo_.columns + c;
            response_[i] = static_cast<float>(
                std::max(0.0, vignetted * (1.0 + sensor_.response_spread * normal.next())));
            dark_[i] = static_cast<float>(sensor_.dark_adu_per_s *
                                          std::max(0.0, 1.0 + sensor_.dark_spread * normal.next()));
        }
    }
    const auto hot = static_cast<size_t>(std::llround(sensor_.hot_pixel_fraction * n));
    const double lowest = std::max(sensor_.hot_pixel_min_adu_per_s, 1e-3);
    const double ratio = std::max(sensor_.hot_pixel_max_adu_per_s / lowest, 1.0);
    for (size_t k = 0; k < hot && n > 0; ++k) {
        const size_t i = rng.next() % n;
        dark_[i] = static_cast<float>(lowest * std::pow(ratio, rng.uniform()));
    }
}

bool SensorHead::accepts(const ReadRequest& r) const {
    if (r.field < kField1 || r.field > kFieldBoth) return false;
    if (r.bin_x < 1 || r.bin_y < 1 || r.width < r.bin_x || r.height < r.bin_y) return false;
    return int{r.x} + r.width <= geo_.columns && int{r.y} + r.height <= geo_.field_rows;
}

size_t SensorHead::reply_pixels(const ReadRequest& r) const {
    if (!accepts(r)) return 0;
    return static_cast<size_t>(r.width / r.bin_x) * static_cast<size_t>(r.height / r.bin_y);
}

void SensorHead::clear(int64_t at_ms) {
    field_start_ms_[0] = field_start_ms_[1] = at_ms;
}

FieldTransfer SensorHead::transfer(uint16_t field_selector, int64_t at_ms) {
    FieldTransfer t;
    auto take = [&](int f) {
        t.field[t.count] = f;
        t.start_ms[t.count] = std::min(field_start_ms_[f], at_ms);
        t.end_ms[t.count] = at_ms;
        ++t.count;
        field_start_ms_[f] = at_ms;
    };
    if (geo_.fields == 1) {
        take(0);
    } else {
        if (field_selector == kField1 || field_selector == kFieldBoth) take(0);
        if (field_selector == kField2 || field_selector == kFieldBoth) take(1);
    }
    return t;
}

PixelGrid SensorHead::field_grid(const ReadRequest& r, int field) const {
    PixelGrid g;
    g.origin_x = geo_.origin_x;
    g.pitch_x = g.size_x = geo_.scale_x;
    g.origin_y = geo_.origin_y + field * geo_.scale_y;
    g.pitch_y = geo_.fields * geo_.scale_y;
    g.size_y = geo_.scale_y;
    g.col0 = r.x;
    g.cols = r.width / r.bin_x * r.bin_x;
    g.row0 = r.y;
    g.rows = r.height / r.bin_y * r.bin_y;
    return g;
}

void SensorHead::collect_light(float* plane, const PixelGrid& g, int field, int64_t start_ms,
                               int64_t end_ms, Sky& sky, double throughput, FieldCharge& charge) {
    const double seconds = static_cast<double>(std::max<int64_t>(0, end_ms - start_ms)) / 1000.0;
    const ExposureLight light = sky.exposure_light(geo_.view, start_ms, end_ms);
    SkyEffects* effects = sky.effects();
    // The sky's brightness is given per main-sensor pixel (kMainRowSkyPx square sky pixels).
    const double pixel_area = geo_.scale_x * geo_.scale_y;
    const double background = light.conditions.sky_adu_per_s * pixel_area / kMainRowSkyPx *
                              throughput * light.sky_share * seconds;
    // The first row carries the sky's gradient across the columns; the others copy it.
    for (int c = 0; c < g.cols; ++c) {
        const double x = g.origin_x + (g.col0 + c + 0.5) * g.pitch_x;
        plane[c] = static_cast<float>(background * (effects ? effects->sky_gradient(x) : 1.0));
    }
    for (int r = 1; r < g.rows; ++r)
        std::copy_n(plane, g.cols, plane + static_cast<size_t>(r) * g.cols);

    if (seconds > 0) {
        const ImagePath path = sample_path(sky, geo_.view, start_ms, end_ms);
        const Psf psf = Psf::from(light.conditions);
        // Stars further than a stamp's reach from the grid add nothing.
        const double x_lo = g.origin_x + g.col0 * g.pitch_x - psf.radius_px;
        const double x_hi = g.origin_x + (g.col0 + g.cols) * g.pitch_x + psf.radius_px;
        const double y_lo = g.origin_y + g.row0 * g.pitch_y - psf.radius_px;
        const double y_hi = g.origin_y + (g.row0 + g.rows) * g.pitch_y + psf.radius_px;
        const double share = throughput * light.star_share * seconds / path.count;
        const std::vector<Star>& stars = sky.star_field().stars();
        for (size_t i = 0; i < stars.size(); ++i) {
            double twinkle = -1;  // drawn when the star first lands near the grid
            for (int k = 0; k < path.count; ++k) {
                const double x = sky.image_x(stars[i], path.at[k]);
                if (x < x_lo || x > x_hi) continue;
                const double y = sky.image_y(stars[i], path.at[k]);
                if (y < y_lo || y > y_hi) continue;
                if (twinkle < 0) {
                    twinkle = effects ? effects->twinkle(geo_.view, i, start_ms, end_ms) : 1.0;
                }
                add_star(plane, g, psf, x, y, stars[i].flux_adu_per_s * share * twinkle);
            }
        }
    }

    // The light becomes charge row by row as the converter takes it (digitize); the cosmic rays
    // are drawn now, in the order of the other draws of the sky's effects.
    charge.field = field;
    charge.dark_seconds = static_cast<float>(seconds);
    charge.rays = 0;
    if (effects) record_cosmic_rays(g, field, start_ms, end_ms, *effects, charge);
}

void SensorHead::record_cosmic_rays(const PixelGrid& g, int field, int64_t start_ms, int64_t end_ms,
                                    SkyEffects& effects, FieldCharge& charge) const {
    // A hit lands in one physical row, so in one field only.
    CosmicRay rays[kMostCosmicRays];
    const size_t n =
        effects.cosmic_rays(geo_.view, geo_.columns, geo_.field_rows * geo_.fields,
                            geo_.scale_x * geo_.scale_y, start_ms, end_ms, rays, kMostCosmicRays);
    for (size_t i = 0; i < n; ++i) {
        if (rays[i].row % geo_.fields != field) continue;
        const int r = rays[i].row / geo_.fields - g.row0;
        const int c = rays[i].column - g.col0;
        if (r < 0 || r >= g.rows || c < 0 || c >= g.cols) continue;
        charge.hit[charge.rays++] = {r, c, static_cast<float>(rays[i].charge)};
    }
}

void SensorHead::expose_plane_row(const float* plane_row, const PixelGrid& g, int r,
                                  const FieldCharge& charge, float* out) const {
    const size_t physical =
        static_cast<size_t>((g.row0 + r) * geo_.fields + charge.field) * geo_.columns + g.col0;
    expose_row(plane_row, response_.data() + physical, dark_.data() + physical, charge.dark_seconds,
               g.cols, out);
    for (size_t i = 0; i < charge.rays; ++i)
        if (charge.hit[i].row == r) out[charge.hit[i].column] += charge.hit[i].charge;
}

void SensorHead::render(const ReadRequest& r, const FieldTransfer& fields, Sky& sky,
                        double throughput, bool noise, Rng& rng, uint8_t* out) {
    if (!accepts(r)) return;
    PixelGrid grid;
    if (fields.count > 0) sky.settle(fields.end_ms[0]);
    for (int i = 0; i < fields.count; ++i) {
        grid = field_grid(r, fields.field[i]);
        collect_light(planes_[i].data(), grid, fields.field[i], fields.start_ms[i],
                      fields.end_ms[i], sky, throughput, charges_[i]);
    }
    digitize(r, fields, grid, noise, rng, out);
}

void SensorHead::digitize(const ReadRequest& r, const FieldTransfer& fields, const PixelGrid& g,
                          bool noise, Rng& rng, uint8_t* out) {
    // Binning and field summing add charge before the converter: one photon noise draw for the
    // summed charge, one bias and one read noise per output pixel. Without noise each photosite
    // holds its expected charge, rounded, and the output pixel their sum.
    Converter converter;
    converter.bias = static_cast<float>(sensor_.bias_counts);
    converter.per_count = static_cast<float>(1.0 / sensor_.charge_per_count);
    converter.read_noise = noise ? static_cast<float>(sensor_.read_noise_counts) : 0.0f;
    converter.bytes_per_sample = geo_.bytes_per_sample;
    converter.full_scale = static_cast<float>(
        std::min(sensor_.full_scale_counts, geo_.bytes_per_sample == 2 ? 65535.0 : 255.0));
    converter.photon_noise = noise;
    NoiseLanes lanes(rng);
    const int out_cols = r.width / r.bin_x;
    const int out_rows = r.height / r.bin_y;
    float* sum = row_charge_.data();
    const size_t row_bytes = static_cast<size_t>(out_cols) * geo_.bytes_per_sample;
    for (int ro = 0; ro < out_rows; ++ro) {
        std::fill_n(sum, out_cols, 0.0f);
        for (int i = 0; i < fields.count; ++i) {
            for (int dy = 0; dy < r.bin_y; ++dy) {
                const int row = ro * r.bin_y + dy;
                expose_plane_row(planes_[i].data() + static_cast<size_t>(row) * g.cols, g, row,
                                 charges_[i], exposed_row_.data());
                add_binned(exposed_row_.data(), out_cols, r.bin_x, !noise, sum);
            }
        }
        convert_row(sum, out_cols, converter, lanes, out);
        out += row_bytes;
    }
}

std::vector<SensorStar> SensorHead::stars(Sky& sky, int64_t at_ms, double throughput) const {
    std::vector<SensorStar> found;
    sky.settle(at_ms);
    const ImageShift shift = sky.image_shift_at(at_ms);
    const double rows = static_cast<double>(geo_.field_rows) * geo_.fields;
    for (const Star& s : sky.star_field().stars()) {
        double x, y;
        sky.star_image(s, shift, x, y);
        const double sx = (x - geo_.origin_x) / geo_.scale_x;
        const double sy = (y - geo_.origin_y) / geo_.scale_y;
        if (sx >= 0 && sx < geo_.columns && sy >= 0 && sy < rows) {
            found.push_back({sx, sy, s.flux_adu_per_s * throughput});
        }
    }
    return found;
}

}  // namespace kvr::sim
