#include "imaging/arithmetic.h"

#include <algorithm>
#include <cstring>

#include "app/program.h"
#include "imaging/header_band.h"

namespace kvr {

namespace {
size_t frame_bytes(const Program& p) {
    return static_cast<size_t>(p.geo.intlength) * sizeof(uint16_t);
}
}  // namespace

void undo_image(const Program& p, const uint16_t* a, uint16_t* b) {
    std::memmove(b, a, frame_bytes(p));
}

void backup_image(const Program& p, const uint16_t* a, uint16_t* b) {
    std::memmove(b, a, frame_bytes(p));
}

void restore_image(const Program& p, uint16_t* a, const uint16_t* b) {
    std::memmove(a, b, frame_bytes(p));
}

void copy_image(const Program& p, uint16_t* a, const uint16_t* b) {
    std::memmove(a, b, frame_bytes(p));
}

void do_subtract_image(const Program& p, uint16_t* a, const uint16_t* b) {
    const int n = p.geo.intlength;
    for (int i = 0; i < n; ++i) a[i] = a[i] > b[i] ? static_cast<uint16_t>(a[i] - b[i]) : 0;
}

void do_average_image(const Program& p, uint16_t* a, const uint16_t* b) {
    const int n = p.geo.intlength;
    for (int i = 0; i < n; ++i) a[i] = static_cast<uint16_t>((unsigned{a[i]} + b[i]) >> 1);
}

void do_add_image(const Program& p, uint16_t* a, const uint16_t* b, bool add) {
    const int w = p.geo.width1;
    const int h = p.geo.height1;
    for (int y = 0; y < h; y += 2) {
        uint16_t* row = a + y * w;
        const uint16_t* src = b + y * w;
        if (!add) {
            std::memmove(row, src, static_cast<size_t>(w) * sizeof(uint16_t));
            continue;
        }
        // The odd row below the last even row of an odd-height frame lies in the spare pixels
        // only for binned frames; the frame heights used (290, 580) are even.
        const uint16_t* below = a + (y + 1) * w;
        for (int x = 0; x < w; ++x)
            row[x] = static_cast<uint16_t>(std::min(65535u, unsigned{src[x]} + below[x]));
    }
}

void do_flat_field(const Program& p, uint16_t* image, const uint16_t* flat, double mean, int row) {
    const int w = p.geo.width1;
    uint16_t* d = image + row * w;
    const uint16_t* f = flat + row * w;
    for (int x = 2; x <= w - 2; ++x) {
        double v;
        if (f[x] != 0)
            v = static_cast<double>(d[x]) / f[x] * mean;
        else if (d[x] != 0)
            v = d[x];
        else
            v = mean;
        d[x] = v >= 65535.0 ? 65535 : static_cast<uint16_t>(v);
    }
}

double flat_field_mean(const Program& p, const uint16_t* flat) {
    const int w = p.geo.width1;
    const int last_col = p.geo.width2 - 1;
    double sum = 0;
    for (int y = 10; y <= 19; ++y)
        for (int x = 5; x <= last_col; ++x) sum += flat[y * w + x];
    // 10 rows × 370 or 746 columns.
    const double samples = 10.0 * (last_col - 5 + 1);
    return sum * (1.0 / samples);
}

void mirror_image(const Program& p, uint16_t* src, uint16_t* scratch) {
    const int w = p.geo.width1;
    const int s = has_header_band(src) ? kHeaderBandRows : 0;
    for (int y = s; y < p.geo.height1; ++y) {
        const uint16_t* in = src + y * w;
        uint16_t* out = scratch + y * w;
        for (int x = 0; x < w; ++x) out[w - 1 - x] = in[x];
    }
    const int from = w * s;
    std::memmove(src + from, scratch + from,
                 static_cast<size_t>(p.geo.intlength - from) * sizeof(uint16_t));
}

void undo_save_option(Program& p) {
    undo_image(p, p.ptr.image, p.ptr.undo);
}

}  // namespace kvr
