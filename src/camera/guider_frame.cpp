// The guider head: its frame read, and the dark subtraction, hot-pixel filter and gain applied to
// every guider frame.
#include <algorithm>
#include <climits>
#include <cstring>

#include "camera/camera_protocol.h"
#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "core/program.h"

namespace kvr {

namespace {

bool read_guider_block(Program& p) {
    return send_read_command(p, guider_frame_request(), false) &&
           receive_reply(p, kGuiderReplyBytes);
}

// Sample i of a guider block becomes the high byte of pixel i (low byte first in memory); the low
// bytes are not written.
void put_high_bytes(uint8_t* __restrict pixels, const uint8_t* __restrict samples) {
    for (int i = 0; i < kGuiderPixels; ++i) pixels[2 * i + 1] = samples[i];
}

void subtract_floored(uint16_t* __restrict image, const uint16_t* __restrict dark) {
    for (int i = 0; i < kGuiderPixels; ++i) {
        image[i] = image[i] > dark[i] ? static_cast<uint16_t>(image[i] - dark[i]) : uint16_t{0};
    }
}

// Pixels are ranked as signed 16-bit values with the sign bit flipped: the order is the same and
// the minimum and maximum are single vector instructions on every x86-64.
inline int16_t biased(uint16_t v) {
    return static_cast<int16_t>(v ^ 0x8000u);
}
inline uint16_t unbiased(int16_t v) {
    return static_cast<uint16_t>(static_cast<uint16_t>(v) ^ 0x8000u);
}

inline void sort2(int16_t& a, int16_t& b) {
    const int16_t low = std::min(a, b);
    b = std::max(a, b);
    a = low;
}

// One guider row's columns, padded so that the loops below run a whole number of vector widths;
// the padding's results are never used.
constexpr int kPaddedColumns = 512;
constexpr int kColumnSlots = kPaddedColumns + 2;

// For every column x of row y: the three pixels (x, y − 1), (x, y), (x, y + 1) sorted, and the
// centre pixel itself. Shared by the three neighbourhoods the column belongs to.
struct RowColumns {
    int16_t low[kColumnSlots] = {};
    int16_t middle[kColumnSlots] = {};
    int16_t high[kColumnSlots] = {};
    int16_t centre[kColumnSlots] = {};
};

void sort_columns(const uint16_t* above, const uint16_t* row, const uint16_t* below,
                  RowColumns& c) {
    for (int x = 0; x < kGuiderWidth; ++x) {
        int16_t a = biased(above[x]);
        int16_t b = biased(row[x]);
        int16_t d = biased(below[x]);
        c.centre[x] = b;
        sort2(a, b);
        sort2(b, d);
        sort2(a, b);
        c.low[x] = a;
        c.middle[x] = b;
        c.high[x] = d;
    }
}

// Filtered value of every pixel whose neighbourhood is columns x, x + 1, x + 2: lowest m,
// largest M and median of the 9 values (the 5th largest; which of two equal values is taken first
// never changes the values). The pixel becomes the median when it differs from it by more than
// trunc(0.6 × (M − m)); for integers that is 5 × difference > 3 × (M − m).
void filter_row(const RowColumns& c, uint16_t* out) {
    for (int x = 0; x < kPaddedColumns; ++x) {
        int16_t v0 = c.low[x], v1 = c.middle[x], v2 = c.high[x];
        int16_t v3 = c.low[x + 1], v4 = c.middle[x + 1], v5 = c.high[x + 1];
        int16_t v6 = c.low[x + 2], v7 = c.middle[x + 2], v8 = c.high[x + 2];
        const int lowest = std::min(v0, std::min(v3, v6));
        const int largest = std::max(v2, std::max(v5, v8));
        // The rest of a 19-exchange median-of-9 network whose first 9 exchanges sort the
        // columns.
        sort2(v0, v3);
        sort2(v5, v8);
        sort2(v4, v7);
        sort2(v3, v6);
        sort2(v1, v4);
        sort2(v2, v5);
        sort2(v4, v7);
        sort2(v4, v2);
        sort2(v6, v4);
        sort2(v4, v2);
        const int16_t median = v4;
        const int16_t pixel = c.centre[x + 1];
        const int difference = median > pixel ? median - pixel : pixel - median;
        out[x] = unbiased(5 * difference > 3 * (largest - lowest) ? median : pixel);
    }
}

// A spike the hot-pixel filter replaced is a hot pixel or a cosmic ray when its neighbours
// carry next to none of its light; a star narrower than a pixel still spills a share of its
// peak into a neighbour. `measured` (the frame as read) takes the filtered value of every lone
// spike and keeps its star peaks.
constexpr int kStarSpillPercent = 10;

void keep_lone_spikes_filtered(const uint16_t* filtered, uint16_t* measured) {
    constexpr int w = kGuiderWidth;
    for (int y = 1; y < kGuiderHeight - 1; ++y) {
        for (int x = 1; x < w - 1; ++x) {
            const int i = y * w + x;
            const int median = filtered[i];
            const int excess = measured[i] - median;
            if (excess <= 0) {
                measured[i] = filtered[i];
                continue;
            }
            if (measured[i] == filtered[i]) continue;
            int brightest = 0;
            for (const int d : {-w - 1, -w, -w + 1, -1, 1, w - 1, w, w + 1})
                brightest = std::max(brightest, int{measured[i + d]});
            if (100 * (brightest - median) < kStarSpillPercent * excess) measured[i] = filtered[i];
        }
    }
}

}  // namespace

int guider_exposure_ms(const Program& p) {
    int unit = 1000;
    if (p.guide.exp_guider_range == 'h') unit = 10;
    if (p.guide.exp_guider_range == 't') unit = 100;
    return static_cast<int>(std::min<int64_t>(int64_t{p.guide.exp_guider_value} * unit, INT_MAX));
}

bool autoguider_clear(Program& p) {
    // Reading the frame out empties the head's registers; the data is not used.
    if (!read_guider_block(p)) return false;
    return clear_sensor(p, kHeadGuider, kClearWholeSensor) &&
           clear_sensor(p, kHeadGuider, kClearWholeSensor);
}

bool autoguider_read(Program& p) {
    if (!read_guider_block(p)) return false;
    put_high_bytes(p.ptr.charguiderimageptr, p.buf->ReportBuffer);
    return true;
}

bool guider_camera_read(Program& p) {
    return guider_camera_read(p, guider_exposure_ms(p));
}

bool guider_camera_read(Program& p, int exposure_ms) {
    Readout& r = p.readout;
    const GuideState& g = p.guide;
    r.guider_exposure = exposure_ms;
    if (!autoguider_clear(p)) return false;
    r.ticks = p.clock.ms();
    r.endticks = r.ticks + static_cast<uint32_t>(r.guider_exposure);
    guide_exposure_wait(p);
    if (!autoguider_read(p)) return false;
    if (g.guider_use_darkframe && !g.guider_taking_darkframe) subtract_guider_dark(p);
    Buffers& b = *p.buf;
    b.guider_unfiltered_valid = g.guider_use_median != 0;
    if (g.guider_use_median) {
        std::memcpy(b.guider_unfiltered_int, p.ptr.guider_imageptr,
                    kGuiderPixels * sizeof(uint16_t));
        filter_guider_hot_pixels(p);
        keep_lone_spikes_filtered(p.ptr.guider_imageptr, b.guider_unfiltered_int);
    }
    apply_guider_gain(p);
    return true;
}

const uint16_t* guider_measure_frame(const Program& p) {
    return p.buf->guider_unfiltered_valid ? p.buf->guider_unfiltered_int : p.ptr.guider_imageptr;
}

void subtract_guider_dark(Program& p) {
    subtract_floored(p.ptr.guider_imageptr, p.ptr.guider_darkframeptr);
}

void filter_guider_hot_pixels(Program& p) {
    const uint16_t* image = p.ptr.guider_imageptr;
    uint16_t* out = p.ptr.guider_trialptr;
    constexpr int w = kGuiderWidth;
    constexpr int h = kGuiderHeight;
    RowColumns columns;
    uint16_t filtered[kPaddedColumns];
    // The border has no full neighbourhood and stays as it was.
    std::memcpy(out, image, w * sizeof(uint16_t));
    std::memcpy(out + (h - 1) * w, image + (h - 1) * w, w * sizeof(uint16_t));
    for (int y = 1; y < h - 1; ++y) {
        const uint16_t* row = image + y * w;
        sort_columns(row - w, row, row + w, columns);
        filter_row(columns, filtered);
        uint16_t* dst = out + y * w;
        dst[0] = row[0];
        std::memcpy(dst + 1, filtered, (w - 2) * sizeof(uint16_t));
        dst[w - 1] = row[w - 1];
    }
    std::memcpy(p.ptr.guider_imageptr, out, kGuiderPixels * sizeof(uint16_t));
}

void apply_guider_gain(Program& p) {
    int gain = 0;
    switch (p.guide.guider_stretch) {
        case 5:
            gain = 4;
            break;
        case 6:
            gain = 2;
            break;
        case 7:
            gain = 1;
            break;
        default:
            return;  // 8 … 50: the data stays; the guider display's palette stretches it
    }
    uint16_t* image = p.ptr.guider_imageptr;
    for (int i = 0; i < kGuiderPixels; ++i) {
        image[i] = static_cast<uint16_t>(std::min(image[i] * gain, 65535));
    }
}

}  // namespace kvr
