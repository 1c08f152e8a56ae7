#include "imaging/statistics.h"

#include <algorithm>
#include <cstring>

#include "core/program.h"
#include "kernels/pixel_vectors.h"

namespace kvr {

namespace {

// The fixed band `find_most_pop` counts, whatever the geometry.
constexpr int kBandFirstPixel = 10240;
constexpr int kBandPixels = 15360;

// Whether the 16 pixels at `src` share their high byte, the level `level` of the first.
inline bool one_level(const uint16_t* src, uint16_t level) {
    const u16x8 other = (load_u16x8(src) ^ level) | (load_u16x8(src + kU16x8Lanes) ^ level);
    uint64_t half[2];
    std::memcpy(half, &other, sizeof half);
    return ((half[0] | half[1]) & 0xFF00FF00FF00FF00u) == 0;
}

// Adds the high bytes of n pixels to `table`. The sky fills most of a frame with long runs of one
// level: a block of 16 pixels of one level is counted at once, and consecutive such blocks of
// the same level are summed in a register before they reach the table (adding to one table
// entry block after block would wait on the previous block's store each time). Other blocks go
// to four partial tables, which break the dependency between neighbouring pixels of equal level
// that a single table serialises.
void count_levels(unsigned* table, const uint16_t* src, int n) {
    constexpr int kBlock = 2 * kU16x8Lanes;
    unsigned part[4][256] = {};
    unsigned run_level = 0;
    unsigned run = 0;
    int i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        if (one_level(src + i, src[i])) {
            const unsigned level = src[i] >> 8;
            if (level != run_level) {
                part[0][run_level] += run;
                run_level = level;
                run = 0;
            }
            run += kBlock;
            continue;
        }
        for (int k = i; k < i + kBlock; k += 4) {
            ++part[0][src[k] >> 8];
            ++part[1][src[k + 1] >> 8];
            ++part[2][src[k + 2] >> 8];
            ++part[3][src[k + 3] >> 8];
        }
    }
    part[0][run_level] += run;
    for (; i < n; ++i) ++part[0][src[i] >> 8];
    for (int v = 0; v < 256; ++v) table[v] += part[0][v] + part[1][v] + part[2][v] + part[3][v];
}

void clear_table(Program& p) {
    std::fill(std::begin(p.display.table), std::end(p.display.table), 0u);
}

// First level (lowest on ties) with the highest non-zero count among levels 0 … last that are
// not excluded; -1 when none qualifies.
int most_populated(const unsigned* table, int last, int skip1, int skip2) {
    int level = -1;
    unsigned best = 0;
    for (int v = 0; v <= last; ++v) {
        if (v == skip1 || v == skip2) continue;
        if (table[v] > best) {
            best = table[v];
            level = v;
        }
    }
    return level;
}

}  // namespace

void build_histogram(Program& p, const uint16_t* image) {
    clear_table(p);
    const int first = p.geo.width1 / 2;
    const int n = std::clamp(p.geo.intlength - p.geo.width1_10, 0, kFrameBufferLength - first);
    count_levels(p.display.table, image + first, n);
    const unsigned* t = p.display.table;
    const int m1 = most_populated(t, 255, -1, -1);
    const int m2 = most_populated(t, 255, m1, -1);
    const int m3 = most_populated(t, 255, m1, m2);
    p.display.most_pop = (std::max(m1, 0) + std::max(m2, 0) + std::max(m3, 0)) / 3;
}

void find_most_pop(Program& p, const uint16_t* image) {
    clear_table(p);
    count_levels(p.display.table, image + kBandFirstPixel, kBandPixels);
    p.display.most_pop =
        std::max(0, most_populated(p.display.table, kHistogramEntries - 1, -1, -1));
}

}  // namespace kvr
