#pragma once
// The bar graph of the display-level histogram `table`, as the histogram window and the normal
// stretch dialog draw it: a blue axis, one bar per level at x = level + 8 rising from y = 210 by
// count div 5, cut at 210 and then red, grey otherwise.
namespace kvr {

struct Canvas;

inline constexpr int kHistogramLevels = 256;
inline constexpr int kHistogramBase = 210;
inline constexpr int kHistogramBarsX = 8;
inline constexpr int kHistogramCountScale = 5;

// Where the scale's tick marks end below the axis (the axis is at y = 213): the ticks every 32
// levels, the ones at x = 72 and 200, and the one at x = 136.
struct HistogramTicks {
    int plain, quarter, middle;
};

// Draws the axes and the bars of table[0 … 255]. Returns how many levels were cut.
int draw_level_histogram(Canvas& canvas, const unsigned* table, HistogramTicks ticks);

}  // namespace kvr
