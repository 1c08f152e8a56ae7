// The guider head: its frame read, and the dark subtraction, hot-pixel filter and gain applied to
// every guider frame.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/program.h"
#include "camera/camera_protocol.h"
#include "camera/command_blocks.h"
#include "camera/readout.h"

namespace kvr {

namespace {

// The hot-pixel threshold is this fraction of the 3 × 3 neighbourhood's range.
constexpr double kHotPixelRangeFraction = 0.6;

ReadRequest guider_frame_request() {
    ReadRequest r;
    r.field = kFieldBoth;
    r.head = kHeadGuider;
    r.width = kGuiderColumns;
    r.height = kGuiderRows;
    return r;
}

bool read_guider_block(Program& p) {
    return send_read_command(p, guider_frame_request(), false) &&
           receive_reply(p, kGuiderReplyBytes);
}

inline void sort2(uint16_t& a, uint16_t& b) {
    const uint16_t low = std::min(a, b);
    b = std::max(a, b);
    a = low;
}

struct Neighbourhood {
    uint16_t lowest;
    uint16_t largest;
    uint16_t median;  // the 5th largest of the 9
};

// Lowest, largest and median of 9 values with a fixed compare-exchange network. Which of two
// equal values is taken first never changes the values found.
Neighbourhood rank9(uint16_t v[9]) {
    sort2(v[1], v[2]);
    sort2(v[4], v[5]);
    sort2(v[7], v[8]);
    sort2(v[0], v[1]);
    sort2(v[3], v[4]);
    sort2(v[6], v[7]);
    sort2(v[1], v[2]);
    sort2(v[4], v[5]);
    sort2(v[7], v[8]);
    // Each triple is now sorted.
    Neighbourhood n;
    n.lowest = std::min({v[0], v[3], v[6]});
    n.largest = std::max({v[2], v[5], v[8]});
    sort2(v[0], v[3]);
    sort2(v[5], v[8]);
    sort2(v[4], v[7]);
    sort2(v[3], v[6]);
    sort2(v[1], v[4]);
    sort2(v[2], v[5]);
    sort2(v[4], v[7]);
    sort2(v[4], v[2]);
    sort2(v[6], v[4]);
    sort2(v[4], v[2]);
    n.median = v[4];
    return n;
}

}  // namespace

int guider_exposure_ms(const Program& p) {
    int unit = 1000;
    if (p.guide.exp_guider_range == 'h') unit = 10;
    if (p.guide.exp_guider_range == 't') unit = 100;
    return static_cast<int>(std::min<int64_t>(int64_t{p.guide.exp_guider_value} * unit, INT_MAX));
}

bool KV_autoguider_clear(Program& p) {
    // Reading the frame out empties the head's registers; the data is not used.
    if (!read_guider_block(p)) return false;
    return clear_sensor(p, kHeadGuider, kClearWholeSensor) &&
           clear_sensor(p, kHeadGuider, kClearWholeSensor);
}

bool KV_autoguider_read(Program& p) {
    if (!read_guider_block(p)) return false;
    const uint8_t* src = p.buf->ReportBuffer;
    uint8_t* dst = p.ptr.charguiderimageptr;
    for (int i = 0; i < kGuiderPixels; ++i) dst[2 * i + 1] = src[i];  // high byte of pixel i
    return true;
}

bool KV_guider_camera_read(Program& p) {
    Readout& r = p.readout;
    const GuideState& g = p.guide;
    r.guider_exposure = guider_exposure_ms(p);
    if (!KV_autoguider_clear(p)) return false;
    r.ticks = p.clock.ms();
    r.endticks = r.ticks + static_cast<uint32_t>(r.guider_exposure);
    p.clock.wait_until(r.endticks);
    r.ticks = p.clock.ms();
    if (!KV_autoguider_read(p)) return false;
    if (g.guider_use_darkframe && !g.guider_taking_darkframe) subtract_guider_dark(p);
    if (g.guider_use_median) filter_guider_hot_pixels(p);
    apply_guider_gain(p);
    return true;
}

void subtract_guider_dark(Program& p) {
    uint16_t* image = p.ptr.guider_imageptr;
    const uint16_t* dark = p.ptr.guider_darkframeptr;
    for (int i = 0; i < kGuiderPixels; ++i) {
        image[i] = image[i] > dark[i] ? static_cast<uint16_t>(image[i] - dark[i]) : uint16_t{0};
    }
}

void filter_guider_hot_pixels(Program& p) {
    uint16_t* image = p.ptr.guider_imageptr;
    uint16_t* out = p.ptr.guider_trialptr;
    constexpr int w = kGuiderWidth;
    constexpr int h = kGuiderHeight;
    // The border has no full neighbourhood and stays as it was.
    std::memcpy(out, image, w * sizeof(uint16_t));
    std::memcpy(out + (h - 1) * w, image + (h - 1) * w, w * sizeof(uint16_t));
    for (int y = 1; y < h - 1; ++y) {
        const uint16_t* above = image + (y - 1) * w;
        const uint16_t* row = above + w;
        const uint16_t* below = row + w;
        uint16_t* dst = out + y * w;
        dst[0] = row[0];
        dst[w - 1] = row[w - 1];
        for (int x = 1; x < w - 1; ++x) {
            uint16_t v[9] = {above[x - 1], above[x],     above[x + 1], row[x - 1],  row[x],
                             row[x + 1],   below[x - 1], below[x],     below[x + 1]};
            const Neighbourhood n = rank9(v);
            const int threshold = static_cast<int>((n.largest - n.lowest) * kHotPixelRangeFraction);
            dst[x] = std::abs(n.median - row[x]) > threshold ? n.median : row[x];
        }
    }
    std::memcpy(image, out, kGuiderPixels * sizeof(uint16_t));
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
