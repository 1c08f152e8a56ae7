#include "imaging/arithmetic.h"

#include <algorithm>
#include <cstring>

#include "core/program.h"
#include "imaging/header_band.h"
#include "kernels/arithmetic_avx2.h"
#include "kernels/arithmetic_avx512.h"
#include "kernels/pixel_vectors.h"
#include "kernels/simd_dispatch.h"

namespace kvr {

namespace {
size_t frame_bytes(const Geometry& geo) {
    return static_cast<size_t>(geo.intlength) * sizeof(uint16_t);
}
}  // namespace

void undo_image(const Geometry& geo, const uint16_t* a, uint16_t* b) {
    std::memmove(b, a, frame_bytes(geo));
}

void backup_image(const Geometry& geo, const uint16_t* a, uint16_t* b) {
    std::memmove(b, a, frame_bytes(geo));
}

void restore_image(const Geometry& geo, uint16_t* a, const uint16_t* b) {
    std::memmove(a, b, frame_bytes(geo));
}

void copy_image(const Geometry& geo, uint16_t* a, const uint16_t* b) {
    std::memmove(a, b, frame_bytes(geo));
}

void do_subtract_image(const Geometry& geo, uint16_t* a, const uint16_t* b) {
    const int n = geo.intlength;
    int i = 0;
    for (; i + kU16x8Lanes <= n; i += kU16x8Lanes) {
        const u16x8 x = load_u16x8(a + i);
        const u16x8 y = load_u16x8(b + i);
        store_u16x8(a + i, (x - y) & reinterpret_cast<u16x8>(x > y));
    }
    for (; i < n; ++i) a[i] = a[i] > b[i] ? static_cast<uint16_t>(a[i] - b[i]) : 0;
}

void do_average_image(const Geometry& geo, uint16_t* a, const uint16_t* b) {
    const int n = geo.intlength;
    int i = 0;
    // (x + y) div 2 without the 17th bit: the common bits plus half the differing ones.
    for (; i + kU16x8Lanes <= n; i += kU16x8Lanes) {
        const u16x8 x = load_u16x8(a + i);
        const u16x8 y = load_u16x8(b + i);
        store_u16x8(a + i, (x & y) + ((x ^ y) >> 1));
    }
    for (; i < n; ++i) a[i] = static_cast<uint16_t>((unsigned{a[i]} + b[i]) >> 1);
}

void do_add_image(const Geometry& geo, uint16_t* a, const uint16_t* b, bool add) {
    const int w = geo.width1;
    const int h = geo.height1;
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

void do_flat_field(const Geometry& geo, uint16_t* image, const uint16_t* flat, double mean,
                   int row) {
    const int w = geo.width1;
    uint16_t* d = image + row * w;
    const uint16_t* f = flat + row * w;
    // Columns 2 … width1 − 2.
    constexpr int first = 2;
    const int count = w - 3;
#if KVR_HAVE_AVX2_PATHS
    if (use_avx512()) {
        flat_field_span_avx512(d + first, f + first, mean, count);
        return;
    }
    if (use_avx2()) {
        flat_field_span_avx2(d + first, f + first, mean, count);
        return;
    }
#endif
    for (int x = first; x < first + count; ++x) d[x] = flat_field_pixel(d[x], f[x], mean);
}

double flat_field_mean(const Geometry& geo, const uint16_t* flat) {
    const int w = geo.width1;
    const int last_col = geo.width2 - 1;
    // Summed in integers: every partial sum of at most 7460 16-bit values is exact in a double
    // too, so the order of the additions does not change the mean.
    uint64_t sum = 0;
    for (int y = 10; y <= 19; ++y)
        for (int x = 5; x <= last_col; ++x) sum += flat[y * w + x];
    // 10 rows × 370 or 746 columns.
    const double samples = 10.0 * (last_col - 5 + 1);
    return static_cast<double>(sum) * (1.0 / samples);
}

namespace {

// Reverses one row of `w` pixels (a multiple of 8) in place and writes the result to `copy` too,
// swapping 8-pixel blocks from both ends inwards.
void mirror_row(uint16_t* row, uint16_t* copy, int w) {
    int left = 0;
    int right = w - kU16x8Lanes;
    for (; left < right; left += kU16x8Lanes, right -= kU16x8Lanes) {
        const u16x8 l = reverse_u16x8(load_u16x8(row + left));
        const u16x8 r = reverse_u16x8(load_u16x8(row + right));
        store_u16x8(row + left, r);
        store_u16x8(copy + left, r);
        store_u16x8(row + right, l);
        store_u16x8(copy + right, l);
    }
    if (left == right) {
        const u16x8 middle = reverse_u16x8(load_u16x8(row + left));
        store_u16x8(row + left, middle);
        store_u16x8(copy + left, middle);
    }
}

}  // namespace

void mirror_image(const Geometry& geo, uint16_t* src, uint16_t* scratch) {
    const int w = geo.width1;
    const int h = geo.height1;
    const int s = has_header_band(src) ? kHeaderBandRows : 0;
    // Both frame widths (376, 752) are whole 8-pixel blocks.
    static_assert(kBinnedWidth % kU16x8Lanes == 0 && kFullWidth % kU16x8Lanes == 0);
    for (int y = s; y < h; ++y) mirror_row(src + y * w, scratch + y * w, w);
    // The image takes the scratch buffer's pixels after the frame as well (its spare pixels).
    const int frame_end = w * h;
    std::memmove(src + frame_end, scratch + frame_end,
                 static_cast<size_t>(geo.intlength - frame_end) * sizeof(uint16_t));
}

void undo_save_option(Program& p) {
    undo_image(p.geo, p.ptr.image, p.ptr.undo);
}

}  // namespace kvr
