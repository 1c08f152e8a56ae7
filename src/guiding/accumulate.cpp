#include "guiding/accumulate.h"

#include <algorithm>
#include <cstdlib>

#include "core/program.h"
#include "guiding/centroid.h"
#include "imaging/arithmetic.h"
#include "kernels/saturating_add.h"

namespace kvr {

namespace {

constexpr uint32_t kPixelMax = 65535;

// A frame whose star peak leaves this range of the reference peak is not the same star.
constexpr double kPeakRiseLimit = 3.0;
constexpr double kPeakFallLimit = 0.3;

// The profile method's measuring window and its search.
constexpr int kWindowColumn = 200;
constexpr int kWindowRowOffset = 100;
constexpr int kShiftTrials = 20;  // shifts −10 … +9
constexpr int kShiftCentre = 10;
constexpr int kCompareLength = 80;  // profile entries compared per trial
constexpr int kBaseStep = 10;
constexpr int kLastBase = 30;       // a star found only here (or nowhere) is no reference
constexpr int kStarAboveBin = 375;  // a star's peak is at least 375 × the background bin
constexpr int64_t kFlatProfileLimit = 5000;
constexpr int kMeanSamples = 10000;

// Divides every frame's contribution when the run averages its frames.
uint32_t frame_divisor(const Program& p) {
    return p.run.slew_sum_average ? static_cast<uint32_t>(std::max(1, p.run.total_images)) : 1u;
}

void copy_into_sum(const Geometry& geo, const uint16_t* frame, uint16_t* sum, uint32_t divisor) {
    const int n = geo.intlength;
    if (divisor == 1) {
        std::copy(frame, frame + n, sum);
        return;
    }
    for (int i = 0; i < n; ++i) sum[i] = static_cast<uint16_t>(frame[i] / divisor);
}

// Columns x of a row for which x + offset lies strictly inside 0 … length − 1 (the first column
// and row of the source are never used).
struct Span {
    int first = 0;
    int end = 0;  // one past the last
};
Span inside_span(int length, int offset) {
    return {std::max(0, 1 - offset), std::min(length, length - offset)};
}

uint16_t clip(uint32_t v) {
    return static_cast<uint16_t>(std::min(v, kPixelMax));
}

// Which side of a shifted addition is the new frame, whose contribution is divided when the run
// averages.
enum class Divide { Destination, Source };

// dst(x, y) += src(x + ox, y + oy) wherever that source lies strictly inside the frame, clipped at
// 65535; other destination pixels keep their value.
void add_shifted(uint16_t* dst, const uint16_t* src, int w, int h, int ox, int oy, uint32_t divisor,
                 Divide divide) {
    const Span cols = inside_span(w, ox);
    const Span rows = inside_span(h, oy);
    if (cols.first >= cols.end) return;
    for (int y = rows.first; y < rows.end; ++y) {
        uint16_t* out = dst + y * w;
        const uint16_t* in = src + (y + oy) * w + ox;
        if (divisor == 1) {
            add_saturated(out + cols.first, in + cols.first, size_t(cols.end - cols.first));
        } else if (divide == Divide::Destination) {
            for (int x = cols.first; x < cols.end; ++x) out[x] = clip(in[x] + out[x] / divisor);
        } else {
            for (int x = cols.first; x < cols.end; ++x) out[x] = clip(out[x] + in[x] / divisor);
        }
    }
}

// Registration on the centroid of the picked star (radius `star_mask`). The first call
// (orig_x = 0) copies the frame into the sum and takes the star at (`xcent`, `ycent`), halved
// on binned frames, as the reference; orig_max is its peak. Later calls find the star again from
// (orig_x, orig_y), refuse a frame whose star peak is above 3 × or below 0.3 × orig_max, shift
// the sum onto the new position and add the frame to it; the frame then holds the sum.
// merge_x / merge_y receive the new position.
class StarCentroid final : public AccumulationMethod {
  public:
    int add(Program& p, uint16_t* fredptr, uint16_t* trialptr) const override;
};

int StarCentroid::add(Program& p, uint16_t* fredptr, uint16_t* trialptr) const {
    RunState& r = p.run;
    const int w = p.geo.width1;
    const int h = p.geo.height1;
    const uint32_t divisor = frame_divisor(p);
    GuideState& g = p.guide;

    if (r.orig_x == 0) {
        copy_into_sum(p.geo, fredptr, trialptr, divisor);
        const int halve = p.readout.binned ? 2 : 1;
        if (!centre_three_times(p, fredptr, g.xcent / halve, g.ycent / halve, p.settings.star_mask))
            return kAccumulateNoReference;
        r.orig_x = g.xcent;
        r.orig_y = g.ycent;
        r.orig_max = fredptr[r.orig_y * w + r.orig_x];
        return kAccumulateAdded;
    }

    const bool found = centre_three_times(p, fredptr, r.orig_x, r.orig_y, p.settings.star_mask);
    const double peak = found ? fredptr[g.ycent * w + g.xcent] : 0.0;
    if (!found || peak > kPeakRiseLimit * r.orig_max || peak < kPeakFallLimit * r.orig_max) {
        restore_image(p.geo, fredptr, trialptr);
        return kAccumulateRejected;
    }
    r.merge_x = g.xcent;
    r.merge_y = g.ycent;
    const int kx = r.merge_x - r.orig_x;
    const int ky = r.merge_y - r.orig_y;
    r.orig_x = r.merge_x;
    r.orig_y = r.merge_y;

    // The sum moves onto the star's new position; the frame keeps its own where the shifted sum
    // has nothing.
    add_shifted(fredptr, trialptr, w, h, -kx, -ky, divisor, Divide::Destination);
    backup_image(p.geo, fredptr, trialptr);
    return kAccumulateAdded;
}

// Most populated level (high byte) of the frame, the first on ties; optionally copies the frame
// into the sum on the way.
int background_bin(const Geometry& geo, const uint16_t* frame, uint16_t* sum, uint32_t divisor) {
    // Partial tables: neighbouring pixels of one level (most of a sky frame) do not wait on each
    // other's count.
    constexpr int kTables = 4;
    uint32_t tables[kTables][256] = {};
    const int n = geo.intlength;
    int i = 0;
    for (; i + kTables <= n; i += kTables)
        for (int k = 0; k < kTables; ++k) ++tables[k][frame[i + k] >> 8];
    for (; i < n; ++i) ++tables[0][frame[i] >> 8];
    if (sum) copy_into_sum(geo, frame, sum, divisor);
    int best = 0;
    uint32_t best_count = 0;
    for (int b = 0; b < 256; ++b) {
        uint32_t count = 0;
        for (const auto& table : tables) count += table[b];
        if (count > best_count) {
            best = b;
            best_count = count;
        }
    }
    return best;
}

// Row and column profiles of the measuring window at row base `base`: sums of 16 · (pixel − t)
// over the pixels above t.
void build_profiles(const Geometry& geo, const uint16_t* frame, int base, int t, int64_t* rows,
                    int64_t* cols) {
    const int w = geo.width1;
    std::fill(rows, rows + kProfileLength, 0);
    std::fill(cols, cols + kProfileLength, 0);
    for (int r = 0; r < kProfileLength; ++r) {
        const uint16_t* line = frame + (base + kWindowRowOffset + r) * w + kWindowColumn;
        for (int c = 0; c < kProfileLength; ++c) {
            const int v = line[c];
            if (v <= t) continue;
            const int64_t excess = 16 * (v - t);
            rows[r] += excess;
            cols[c] += excess;
        }
    }
}

// Brightest pixel of the measuring window at row base `base`, or `running` if that is brighter.
int window_peak(const Geometry& geo, const uint16_t* frame, int base, int running) {
    const int w = geo.width1;
    for (int r = 0; r < kProfileLength; ++r) {
        const uint16_t* line = frame + (base + kWindowRowOffset + r) * w + kWindowColumn;
        for (int c = 0; c < kProfileLength; ++c) running = std::max<int>(running, line[c]);
    }
    return running;
}

// Differences of the newest profile against the reference for each trial shift; returns the
// best shift (−10 … +9, the first on ties).
int best_shift(const int64_t* reference, const int64_t* newest, int64_t* differences) {
    int best = 0;
    for (int i = 0; i < kShiftTrials; ++i) {
        int64_t d = 0;
        for (int j = 0; j < kCompareLength; ++j)
            d += std::llabs(reference[kShiftCentre + j] - newest[i + j]);
        differences[i] = d;
        if (d < differences[best]) best = i;
    }
    return best - kShiftCentre;
}

// The window can hold the profile method's rows and columns in this geometry.
bool window_fits(const Geometry& geo) {
    return geo.width1 >= kWindowColumn + kProfileLength &&
           geo.height1 >= kLastBase + kWindowRowOffset + kProfileLength;
}

// Registration by brightness profiles of a 100 × 100 window (columns 200 … 299, rows
// merge_y + 100 … merge_y + 199): the first call (orig_avg = 0) copies the frame into the sum,
// looks for a window row base (0, 10 or 20) that holds a star and records the reference
// profiles; later calls find the row and column shifts (−10 … +9) that best match the profiles,
// add the shifted frame onto the sum and leave the sum in the frame. orig_x / orig_y hold the
// accumulated shift.
class BrightnessProfiles final : public AccumulationMethod {
  public:
    int add(Program& p, uint16_t* fredptr, uint16_t* trialptr) const override;
};

int BrightnessProfiles::add(Program& p, uint16_t* fredptr, uint16_t* trialptr) const {
    RunState& r = p.run;
    const Geometry& geo = p.geo;
    const int w = geo.width1;
    const int h = geo.height1;
    const uint32_t divisor = frame_divisor(p);
    SlewSumProfiles& prof = r.profiles;
    if (!window_fits(geo)) return kAccumulateNoReference;

    if (r.orig_avg == 0) {
        const int b = background_bin(geo, fredptr, trialptr, divisor);
        int64_t head = 0;
        for (int i = 0; i < std::min(kMeanSamples, geo.intlength); ++i) head += fredptr[i];
        // At least 1: 0 marks "no first frame yet".
        r.orig_avg = std::max(1, static_cast<int>(0.0001 * static_cast<double>(head)));

        int peak = 0;
        int base = 0;
        for (; base < kLastBase; base += kBaseStep) {
            peak = window_peak(geo, fredptr, base, peak);
            if (peak >= kStarAboveBin * b) break;
        }
        if (base >= kLastBase) return kAccumulateNoReference;
        r.merge_y = base;
        build_profiles(geo, fredptr, r.merge_y, (b + 2) * 256, prof.rowsum_1, prof.colsum_1);
        r.orig_x = 0;
        r.orig_y = 0;
        return kAccumulateAdded;
    }

    const int b = background_bin(geo, fredptr, nullptr, divisor);
    build_profiles(geo, fredptr, r.merge_y, (b + 2) * 256, prof.rowsum_2, prof.colsum_2);
    int64_t row_diff[kShiftTrials];
    int64_t col_diff[kShiftTrials];
    const int row_shift = best_shift(prof.rowsum_1, prof.rowsum_2, row_diff);
    const int col_shift = best_shift(prof.colsum_1, prof.colsum_2, col_diff);
    // Profiles that hardly change when shifted by a pixel hold no star to register on.
    if (col_diff[kShiftCentre - 1] + col_diff[kShiftCentre] + col_diff[kShiftCentre + 1] <
        kFlatProfileLimit) {
        restore_image(p.geo, fredptr, trialptr);
        return kAccumulateRejected;
    }
    std::copy(std::begin(prof.rowsum_2), std::end(prof.rowsum_2), prof.rowsum_1);
    std::copy(std::begin(prof.colsum_2), std::end(prof.colsum_2), prof.colsum_1);

    const int ox = col_shift + r.orig_x;
    const int oy = row_shift + r.orig_y;
    add_shifted(trialptr, fredptr, w, h, ox, oy, divisor, Divide::Source);
    r.orig_x = ox;
    r.orig_y = oy;
    restore_image(p.geo, fredptr, trialptr);
    return kAccumulateAdded;
}

}  // namespace

const AccumulationMethod& star_centroid_method() {
    static const StarCentroid method;
    return method;
}

const AccumulationMethod& brightness_profile_method() {
    static const BrightnessProfiles method;
    return method;
}

const AccumulationMethod& run_accumulation_method(const Program& p) {
    return p.run.slew_sum_alt ? brightness_profile_method() : star_centroid_method();
}

}  // namespace kvr
