#include "guiding/centroid.h"

#include <cstdio>

#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"

namespace kvr {

namespace {

constexpr int kHistogramBins = 4096;  // 16 grey levels a bin
constexpr int kBoxCells = (2 * kMaxCentroidRadius + 1) * (2 * kMaxCentroidRadius + 1);
static_assert(kBoxCells <= 1600);
constexpr int kSubFrameSize = 128;

constexpr const char* kMainCaption = "KVR_Q4  - Find Centre";
constexpr const char* kGuiderCaption = kGuiderCentreCaption;
constexpr const char* kOutsideText = "Find centre failed - outside image area";

// The box's pixels row by row, its histogram and maximum.
struct BoxScan {
    int x0 = 0, y0 = 0, side = 0;
    uint32_t table[kHistogramBins];
    int32_t cells[kBoxCells];
    uint16_t abs_max = 0;
    int most_pop = 0;
};

void show_box(Program& p, const char* caption, const char* text) {
    MessageBox box;
    box.caption = caption;
    box.text = text;
    p.host.message_box(box);
}

// False (with the out-of-area box) when the box around (startx, starty) leaves the area, or its
// radius does not fit the work table.
bool box_fits(Program& p, int startx, int starty, int rad, int width, int height,
              const char* caption) {
    if (rad < 0 || rad > kMaxCentroidRadius) {
        char text[80];
        std::snprintf(text, sizeof text, "Find centre failed - radius %d is not 0 to %d", rad,
                      kMaxCentroidRadius);
        show_box(p, caption, text);
        return false;
    }
    if (startx - rad < 0 || starty - rad < 0 || startx + rad + 1 > width ||
        starty + rad + 1 > height) {
        show_box(p, caption, kOutsideText);
        return false;
    }
    return true;
}

void scan_box(const uint16_t* image, int row_length, int startx, int starty, int rad, BoxScan& s) {
    s.x0 = startx - rad;
    s.y0 = starty - rad;
    s.side = 2 * rad + 1;
    std::fill(std::begin(s.table), std::end(s.table), 0u);
    s.abs_max = 0;
    int32_t* cell = s.cells;
    for (int y = s.y0; y < s.y0 + s.side; ++y) {
        const uint16_t* row = image + static_cast<ptrdiff_t>(y) * row_length;
        for (int x = s.x0; x < s.x0 + s.side; ++x) {
            const uint16_t v = row[x];
            ++s.table[v >> 4];
            *cell++ = v;
            if (v > s.abs_max) s.abs_max = v;
        }
    }
    s.most_pop = 0;
    for (int b = 1; b < kHistogramBins; ++b)
        if (s.table[b] > s.table[s.most_pop]) s.most_pop = b;
}

struct Centre {
    double x = 0;  // relative to the box's top-left corner
    double y = 0;
};

// Intensity-weighted centre of the cells that stand above their mean. The sums start at 1, so the
// quotient is always defined.
Centre weighted_centre(const BoxScan& s) {
    const int n = s.side * s.side;
    int64_t sum = 0;
    for (int i = 0; i < n; ++i) sum += s.cells[i];
    const int64_t mean = sum / n;
    int64_t val = 1, xval = 1, yval = 1;
    for (int j = 0; j < s.side; ++j) {
        for (int k = 0; k < s.side; ++k) {
            const int64_t d = s.cells[j * s.side + k] - mean;
            if (d <= 0) continue;
            val += d;
            xval += d * k;
            yval += d * j;
        }
    }
    return {static_cast<double>(xval) / static_cast<double>(val),
            static_cast<double>(yval) / static_cast<double>(val)};
}

int tenths(double v) {
    return static_cast<int>(10.0 * v) - 10 * static_cast<int>(v);
}

}  // namespace

int find_centre(Program& p, int startx, int starty, const uint16_t* fredptr, int rad) {
    GuideState& g = p.guide;
    const bool sub_frame = g.guiding || g.tracking;
    const int width = sub_frame ? kSubFrameSize : p.geo.width1;
    const int height = sub_frame ? kSubFrameSize : p.geo.height1;
    if (!box_fits(p, startx, starty, rad, width, height, kMainCaption)) return 1;

    BoxScan s;
    scan_box(fredptr, width, startx, starty, rad, s);
    // 16.32 puts the background 2 % above the lower edge of its bin; near the top of the range
    // the plain bin edge keeps the threshold below 65536.
    const uint16_t thresh = s.most_pop < 4015 ? static_cast<uint16_t>(s.most_pop * 16.32)
                                              : static_cast<uint16_t>(s.most_pop * 16);
    if (s.abs_max <= thresh) {
        if (s.abs_max > 65000) {
            show_box(p, kMainCaption,
                     "Sorry, Guide Area Overexposed, unable to find accurate centre");
            return 1;
        }
        if (!g.selfguiding) show_box(p, kMainCaption, kNothingFoundText);
        g.centre_found = false;
        return 0;
    }
    const int32_t mult = 65535 / (s.abs_max - thresh);
    for (int i = 0; i < s.side * s.side; ++i)
        s.cells[i] = s.cells[i] > thresh ? (s.cells[i] - thresh) * mult : 0;

    const Centre c = weighted_centre(s);
    g.centre_found = true;
    if (!p.settings.ignore_small && (g.selfguiding || g.guiding)) {
        g.xcent = static_cast<int>(c.x) + s.x0;
        g.ycent = static_cast<int>(c.y) + s.y0;
        g.xcentdec = tenths(c.x);
        g.ycentdec = tenths(c.y);
    } else {
        g.xcent = static_cast<int>(c.x + 0.5) + s.x0;
        g.ycent = static_cast<int>(c.y + 0.5) + s.y0;
        g.xcentdec = 0;
        g.ycentdec = 0;
    }
    return 0;
}

bool centre_three_times(Program& p, const uint16_t* frame, int x, int y, int rad) {
    GuideState& g = p.guide;
    for (int pass = 0; pass < 3; ++pass) {
        g.xcent = x;
        g.ycent = y;
        if (find_centre(p, x, y, frame, rad) != 0) return false;
        x = g.xcent;
        y = g.ycent;
    }
    return true;
}

int guider_find_centre(Program& p, int startx, int starty, const uint16_t* fredptr, int rad) {
    if (!box_fits(p, startx, starty, rad, kGuiderWidth, kGuiderHeight, kGuiderCaption)) return 1;
    BoxScan s;
    scan_box(fredptr, kGuiderWidth, startx, starty, rad, s);
    // From bin 3939 on, 16.64 × bin would pass 65535; the bin edge keeps the threshold in range
    // (as the main camera's routine does near saturation).
    const uint16_t thresh = s.most_pop < 3939 ? static_cast<uint16_t>(s.most_pop * 16.64)
                                              : static_cast<uint16_t>(s.most_pop * 16);
    // Faint guide stars are amplified: the excess is weighted four times, up to full scale.
    const bool faint = s.abs_max < 17000;
    for (int i = 0; i < s.side * s.side; ++i) {
        int32_t v = s.cells[i] > thresh ? s.cells[i] - thresh : 0;
        if (faint) v = v < 16384 ? v * 4 : 65535;
        s.cells[i] = v;
    }
    const Centre c = weighted_centre(s);
    GuideState& g = p.guide;
    g.guider_xcent = static_cast<int>(c.x) + s.x0;
    g.guider_ycent = static_cast<int>(c.y) + s.y0;
    g.guider_xcentdec = tenths(c.x);
    g.guider_ycentdec = tenths(c.y);
    return 0;
}

int search_centre(Program& p, const uint16_t* fredptr, int point[2]) {
    const bool found = centre_three_times(p, fredptr, point[0], point[1], p.guide.cur_rad);
    point[0] = p.guide.xcent;
    point[1] = p.guide.ycent;
    return found ? 0 : 1;
}

namespace {

// Origin of a sub-frame of half size `half` around `centre` on an axis of `length` pixels.
int sub_frame_origin(int centre, int half, int length) {
    if (centre > half && centre < length - half) return centre - half;
    if (centre <= half) return 0;
    return length - 2 * half;
}

}  // namespace

void calc_guideframe(Program& p) {
    GuideState& g = p.guide;
    Readout& r = p.readout;
    g.old_xcent = g.xcent;
    g.old_ycent = g.ycent;
    // The full-frame display shows each chip row twice.
    const int x = p.shell.pick_xcent;
    const int y = p.shell.pick_ycent / 2;
    r.focus_x = sub_frame_origin(x, g.focus_width1, kFullWidth);
    r.focus_y = sub_frame_origin(y, g.focus_height1, kFieldRows);
    const int xoffset = r.focus_x % 2;
    const int yoffset = r.focus_y % 10;
    g.xcent = g.drawx = x - r.focus_x + xoffset;
    g.ycent = g.drawy = y - r.focus_y - yoffset;
    if (p.settings.Debug_Mode)
        message50f(p,
                   "xcent=%5d, ycent = %5d, focus_x = %5d, focus_y = %5d,  xoffset = %5d, "
                   "yoffset = %5d",
                   g.xcent, g.ycent, r.focus_x, r.focus_y, xoffset, yoffset);
    g.tracking = 1;
}

}  // namespace kvr
