#include "sim/sensor_head.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "sim/sensor_pixels.h"

namespace kvr::sim {

namespace {

// Floats between rows of the ring of a summing read `cols` wide: room for a star's stamp to run
// seven pixels past the last column, and for whole pairs of noise blocks.
std::ptrdiff_t ring_stride(int cols) {
    return (cols + kNoiseBlock + kNoisePair - 1) / kNoisePair * kNoisePair;
}

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
    // Whole pairs of noise blocks, for convert_summed_row.
    row_charge_.assign(static_cast<size_t>(noise_blocks(geo_.columns) + 1) * kNoiseBlock, 0.0f);
    exposed_row_.assign(row_charge_.size(), 0.0f);
    // A summing read has at most a field's worth of output pixels (and its last row is read in
    // whole pairs of noise blocks).
    mean_response_.assign(field_pixels + kNoisePair, 0.0f);
    dark_sum_.assign(field_pixels + kNoisePair, 0.0f);
    ring_.assign(static_cast<size_t>(kMaxStampSpan) * ring_stride(geo_.columns), 0.0f);
    unit_row_.assign(row_charge_.size(), 1.0f);
    zero_row_.assign(row_charge_.size(), 0.0f);
    row_draws_.assign(static_cast<size_t>(geo_.field_rows) + 1, 0);
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

void SensorHead::sky_light_row(const PixelGrid& g, const ExposureLight& light, double throughput,
                               double seconds, SkyEffects* effects, float* row) const {
    // The sky's brightness is given per main-sensor pixel (kMainRowSkyPx square sky pixels).
    const double pixel_area = g.size_x * g.size_y;
    const double background = light.conditions.sky_adu_per_s * pixel_area / kMainRowSkyPx *
                              throughput * light.sky_share * seconds;
    for (int c = 0; c < g.cols; ++c) {
        const double x = g.origin_x + (g.col0 + c + 0.5) * g.pitch_x;
        row[c] = static_cast<float>(background * (effects ? effects->sky_gradient(x) : 1.0));
    }
}

template <typename AddStar>
void SensorHead::draw_stars(const PixelGrid& g, int64_t start_ms, int64_t end_ms, Sky& sky,
                            const ExposureLight& light, const Psf& psf, double throughput,
                            double seconds, AddStar&& add) {
    SkyEffects* effects = sky.effects();
    const ImagePath path = sample_path(sky, geo_.view, start_ms, end_ms);
    // Stars further than a stamp's reach from the grid add nothing.
    const double x_lo = g.origin_x + g.col0 * g.pitch_x - psf.radius_px;
    const double x_hi = g.origin_x + (g.col0 + g.cols) * g.pitch_x + psf.radius_px;
    const double y_lo = g.origin_y + g.row0 * g.pitch_y - psf.radius_px;
    const double y_hi = g.origin_y + (g.row0 + g.rows) * g.pitch_y + psf.radius_px;
    const double share = throughput * light.star_share * seconds / path.count;
    // Only the stars whose catalogue positions, moved by some sample's shift, may fall in that
    // region are looked at.
    ImageShift least = path.at[0], most = path.at[0];
    for (int k = 1; k < path.count; ++k) {
        least.x = std::min(least.x, path.at[k].x);
        least.y = std::min(least.y, path.at[k].y);
        most.x = std::max(most.x, path.at[k].x);
        most.y = std::max(most.y, path.at[k].y);
    }
    const StarField& field = sky.star_field();
    field.mark_near(x_lo - most.x, x_hi - least.x, y_lo - most.y, y_hi - least.y, near_);
    const std::vector<Star>& stars = field.stars();
    for (size_t word = 0; word < near_.size(); ++word) {
        for (uint64_t bits = near_[word]; bits != 0; bits &= bits - 1) {
            const size_t i = word * 64 + static_cast<size_t>(std::countr_zero(bits));
            double twinkle = -1;  // drawn when the star first lands near the grid
            for (int k = 0; k < path.count; ++k) {
                const double x = sky.image_x(stars[i], path.at[k]);
                if (x < x_lo || x > x_hi) continue;
                const double y = sky.image_y(stars[i], path.at[k]);
                if (y < y_lo || y > y_hi) continue;
                if (twinkle < 0) {
                    twinkle = effects ? effects->twinkle(geo_.view, i, start_ms, end_ms) : 1.0;
                }
                add(x, y, stars[i].flux_adu_per_s * share * twinkle);
            }
        }
    }
}

void SensorHead::collect_light(float* plane, const PixelGrid& g, const PhotositeBlocks& blocks,
                               int64_t start_ms, int64_t end_ms, Sky& sky, double throughput,
                               FieldCharge& charge) {
    const double seconds = static_cast<double>(std::max<int64_t>(0, end_ms - start_ms)) / 1000.0;
    const ExposureLight light = sky.exposure_light(geo_.view, start_ms, end_ms);
    SkyEffects* effects = sky.effects();
    // The first row carries the sky's gradient across the columns; the others copy it.
    sky_light_row(g, light, throughput, seconds, effects, plane);
    for (int r = 1; r < g.rows; ++r)
        std::copy_n(plane, g.cols, plane + static_cast<size_t>(r) * g.cols);

    if (seconds > 0) {
        const Psf psf = Psf::from(light.conditions);
        draw_stars(g, start_ms, end_ms, sky, light, psf, throughput, seconds,
                   [&](double x, double y, double flux) { add_star(plane, g, psf, x, y, flux); });
    }

    // The light becomes charge row by row as the converter takes it (digitize); the cosmic rays
    // are drawn now, in the order of the other draws of the sky's effects.
    charge.field = blocks.field;
    charge.dark_seconds = static_cast<float>(seconds);
    charge.rays = 0;
    if (effects) record_cosmic_rays(g, blocks, start_ms, end_ms, *effects, charge);
}

void SensorHead::record_cosmic_rays(const PixelGrid& g, const PhotositeBlocks& blocks,
                                    int64_t start_ms, int64_t end_ms, SkyEffects& effects,
                                    FieldCharge& charge) const {
    // A hit lands in one physical row, so in one field only.
    CosmicRay rays[kMostCosmicRays];
    const size_t n =
        effects.cosmic_rays(geo_.view, geo_.columns, geo_.field_rows * geo_.fields,
                            geo_.scale_x * geo_.scale_y, start_ms, end_ms, rays, kMostCosmicRays);
    for (size_t i = 0; i < n; ++i) {
        int row = rays[i].row;
        if (blocks.field >= 0) {
            if (row % geo_.fields != blocks.field) continue;
            row /= geo_.fields;
        }
        const int dr = row - blocks.first_row;
        const int dc = rays[i].column - blocks.first_col;
        if (dr < 0 || dc < 0) continue;
        const int r = dr / blocks.bin_rows;
        const int c = dc / blocks.bin_cols;
        if (r >= g.rows || c >= g.cols) continue;
        charge.hit[charge.rays++] = {r, c, static_cast<float>(rays[i].charge)};
    }
}

void SensorHead::expose_plane_row(const float* plane_row, const float* response, const float* dark,
                                  int cols, int r, const FieldCharge& charge, float* out) const {
    expose_row(plane_row, response, dark, charge.dark_seconds, cols, out);
    for (size_t i = 0; i < charge.rays; ++i)
        if (charge.hit[i].row == r) out[charge.hit[i].column] += charge.hit[i].charge;
}

void SensorHead::render(const ReadRequest& r, const FieldTransfer& fields, Sky& sky,
                        double throughput, bool noise, Rng& rng, uint8_t* out) {
    if (!accepts(r)) return;
    if (fields.count > 0) sky.settle(fields.end_ms[0]);
    if (noise && sums_photosites(r, fields)) {
        render_summed(r, fields, sky, throughput, rng, out);
        return;
    }
    PixelGrid grid;
    for (int i = 0; i < fields.count; ++i) {
        grid = field_grid(r, fields.field[i]);
        const PhotositeBlocks blocks{fields.field[i], grid.col0, grid.row0, 1, 1};
        collect_light(planes_[i].data(), grid, blocks, fields.start_ms[i], fields.end_ms[i], sky,
                      throughput, charges_[i]);
    }
    digitize(r, fields, grid, noise, rng, out);
}

Converter SensorHead::converter(bool noise) const {
    Converter c;
    c.bias = static_cast<float>(sensor_.bias_counts);
    c.per_count = static_cast<float>(1.0 / sensor_.charge_per_count);
    c.read_noise = noise ? static_cast<float>(sensor_.read_noise_counts) : 0.0f;
    c.bytes_per_sample = geo_.bytes_per_sample;
    c.full_scale = static_cast<float>(
        std::min(sensor_.full_scale_counts, geo_.bytes_per_sample == 2 ? 65535.0 : 255.0));
    c.photon_noise = noise;
    return c;
}

void SensorHead::digitize(const ReadRequest& r, const FieldTransfer& fields, const PixelGrid& g,
                          bool noise, Rng& rng, uint8_t* out) {
    // Binning and field summing add charge before the converter: one photon noise draw for the
    // summed charge, one bias and one read noise per output pixel (render_summed takes such reads
    // when their fields share one interval). Without noise each photosite holds its expected
    // charge, rounded, and the output pixel their sum.
    const Converter converter = this->converter(noise);
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
                const size_t physical =
                    static_cast<size_t>((g.row0 + row) * geo_.fields + charges_[i].field) *
                        geo_.columns +
                    g.col0;
                expose_plane_row(planes_[i].data() + static_cast<size_t>(row) * g.cols,
                                 response_.data() + physical, dark_.data() + physical, g.cols, row,
                                 charges_[i], exposed_row_.data());
                add_binned(exposed_row_.data(), out_cols, r.bin_x, !noise, sum);
            }
        }
        convert_row(sum, out_cols, converter, lanes, out);
        out += row_bytes;
    }
}

bool SensorHead::sums_photosites(const ReadRequest& r, const FieldTransfer& fields) const {
    if (fields.count == 0) return false;
    if (fields.count == 2 &&
        (fields.start_ms[0] != fields.start_ms[1] || fields.end_ms[0] != fields.end_ms[1]))
        return false;
    // Rows of one interlaced field binned together are not neighbours on the sky.
    if (fields.count == 1 && geo_.fields == 2 && r.bin_y > 1) return false;
    return r.bin_x * r.bin_y * fields.count > 1;
}

SensorHead::SummedRead SensorHead::summed_read(const ReadRequest& r,
                                               const FieldTransfer& fields) const {
    SummedRead s;
    PhotositeBlocks& b = s.blocks;
    const bool both = fields.count == 2;
    b.field = both ? -1 : fields.field[0];
    b.first_col = r.x;
    b.bin_cols = r.bin_x;
    // Both fields: the blocks are rows of the sensor's physical rows.
    b.first_row = both ? 2 * r.y : r.y;
    b.bin_rows = both ? 2 * r.bin_y : r.bin_y;
    const int first_physical = both ? b.first_row : r.y * geo_.fields + b.field;
    s.first = static_cast<size_t>(first_physical) * geo_.columns + r.x;
    s.stride = static_cast<std::ptrdiff_t>(both ? 1 : geo_.fields) * geo_.columns;

    PixelGrid& g = s.grid;
    g.origin_x = geo_.origin_x + r.x * geo_.scale_x;
    g.pitch_x = g.size_x = r.bin_x * geo_.scale_x;
    g.origin_y = geo_.origin_y + first_physical * geo_.scale_y;
    g.size_y = b.bin_rows * geo_.scale_y;
    // One field's rows lie a field apart (bin_rows is then 1).
    g.pitch_y = both ? g.size_y : geo_.fields * g.size_y;
    g.cols = r.width / r.bin_x;
    g.rows = r.height / r.bin_y;
    return s;
}

void SensorHead::sum_fixed_pattern(const SummedRead& s) {
    const PixelGrid& g = s.grid;
    const PhotositeBlocks& b = s.blocks;
    const SumsKey key{s.first, s.stride, g.cols, g.rows, b.bin_cols, b.bin_rows};
    if (key == sums_key_) return;
    const double photosites = b.bin_cols * b.bin_rows;
    for (int r = 0; r < g.rows; ++r) {
        for (int c = 0; c < g.cols; ++c) {
            double response = 0, dark = 0;
            for (int k = 0; k < b.bin_rows; ++k) {
                const size_t row = s.first + (static_cast<size_t>(r) * b.bin_rows + k) *
                                                 static_cast<size_t>(s.stride);
                for (int i = 0; i < b.bin_cols; ++i) {
                    response += response_[row + static_cast<size_t>(c) * b.bin_cols + i];
                    dark += dark_[row + static_cast<size_t>(c) * b.bin_cols + i];
                }
            }
            const size_t at = static_cast<size_t>(r) * g.cols + c;
            mean_response_[at] = static_cast<float>(response / photosites);
            dark_sum_[at] = static_cast<float>(dark);
        }
    }
    sums_key_ = key;
}

void SensorHead::render_summed(const ReadRequest& r, const FieldTransfer& fields, Sky& sky,
                               double throughput, Rng& rng, uint8_t* out) {
    const SummedRead s = summed_read(r, fields);
    sum_fixed_pattern(s);
    const PixelGrid& g = s.grid;
    const int64_t start_ms = fields.start_ms[0];
    const int64_t end_ms = fields.end_ms[0];
    const double seconds = static_cast<double>(std::max<int64_t>(0, end_ms - start_ms)) / 1000.0;
    const ExposureLight light = sky.exposure_light(geo_.view, start_ms, end_ms);
    SkyEffects* effects = sky.effects();

    // The sky on each output pixel; the star images, in the order of their first rows (a counting
    // sort; those of one row in the order drawn); the cosmic rays.
    float* sky_row = exposed_row_.data();
    sky_light_row(g, light, throughput, seconds, effects, sky_row);
    const Psf psf = Psf::from(light.conditions);
    draws_.clear();
    if (seconds > 0) {
        images_.prepare(g, psf);
        draw_stars(g, start_ms, end_ms, sky, light, psf, throughput, seconds,
                   [&](double x, double y, double flux) {
                       StarImages::Image image;
                       if (images_.image(x, y, flux, image)) draws_.push_back(image);
                   });
    }
    std::fill_n(row_draws_.begin(), g.rows + 1, 0);
    for (const StarImages::Image& d : draws_) ++row_draws_[d.r_first + 1];
    for (int row = 0; row < g.rows; ++row) row_draws_[row + 1] += row_draws_[row];
    draw_order_.resize(draws_.size());
    for (uint32_t i = 0; i < draws_.size(); ++i) draw_order_[row_draws_[draws_[i].r_first]++] = i;
    FieldCharge& charge = charges_[0];
    charge.dark_seconds = static_cast<float>(seconds);
    charge.rays = 0;
    if (effects) record_cosmic_rays(g, s.blocks, start_ms, end_ms, *effects, charge);

    // Row by row: once the stars starting on a row are drawn, its slot of the ring holds the light
    // of every star on it; with the sky that becomes the row's charge and samples, and the slot is
    // left empty for the row kMaxStampSpan further on.
    const RowStore ring{ring_.data(), ring_stride(g.cols), kMaxStampSpan};
    const Converter converter = this->converter(true);
    NoiseLanes lanes(rng);
    const auto dark_seconds = static_cast<float>(seconds);
    float* row_charge = row_charge_.data();
    const size_t row_bytes = static_cast<size_t>(g.cols) * geo_.bytes_per_sample;
    size_t next = 0;
    for (int row = 0; row < g.rows; ++row) {
        for (; next < draw_order_.size() && draws_[draw_order_[next]].r_first == row; ++next)
            images_.add(ring, draws_[draw_order_[next]]);
        float* stars = ring.rows + (row % kMaxStampSpan) * ring.stride;
        const size_t at = static_cast<size_t>(row) * g.cols;
        const float* response = mean_response_.data() + at;
        const float* dark = dark_sum_.data() + at;
        if (std::none_of(charge.hit, charge.hit + charge.rays,
                         [&](const FieldCharge::Hit& h) { return h.row == row; })) {
            convert_summed_row(sky_row, stars, response, dark, dark_seconds, g.cols, converter,
                               lanes, out);
        } else {
            // A row with cosmic-ray hits is exposed first, and converted from its charge.
            for (int c = 0; c < g.cols; ++c) row_charge[c] = sky_row[c] + stars[c];
            std::fill_n(stars, ring.stride, 0.0f);
            expose_plane_row(row_charge, response, dark, g.cols, row, charge, row_charge);
            convert_summed_row(zero_row_.data(), row_charge, unit_row_.data(), zero_row_.data(),
                               0.0f, g.cols, converter, lanes, out);
        }
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
