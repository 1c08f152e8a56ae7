#include "imaging/statistics.h"

#include <algorithm>

#include "core/program.h"

namespace kvr {

namespace {

// The fixed band `find_most_pop` counts, whatever the geometry.
constexpr int kBandFirstPixel = 10240;
constexpr int kBandPixels = 15360;

// Adds the high bytes of n pixels to `table`. Four partial tables break the dependency between
// neighbouring pixels of equal level, which a single table serialises.
void count_levels(unsigned* table, const uint16_t* src, int n) {
    unsigned part[4][256] = {};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        ++part[0][src[i] >> 8];
        ++part[1][src[i + 1] >> 8];
        ++part[2][src[i + 2] >> 8];
        ++part[3][src[i + 3] >> 8];
    }
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
