#pragma once
// The guiding graph's raster beyond its two plots: the scales in the right margin, the time
// axis, the band of the star's SNR and mass, and the legend (shared by guide_graph.cpp).
#include <cstdint>

#include "core/canvas.h"
#include "core/guide_graph_state.h"

namespace kvr {

// Maps times within the span onto columns, the newest at the right edge of the plots.
struct GraphTimeAxis {
    uint32_t end, span;  // ms of the clock
    int x(uint32_t t) const;
    bool shows(uint32_t t) const { return t <= end && end - t <= span; }
};

// The error band's full scale (″) at its top and bottom edges and 0 at its middle; the longest
// correction shown (ms of drive, or AO steps when `ao`) at the correction band's top.
void draw_graph_scales(Canvas& c, double full_scale_arcsec, int longest_pulse, bool ao);
// "-N min" under each minute line where there is room, "now" at the right end.
void draw_graph_time_axis(Canvas& c, const GraphTimeAxis& t);
// The star's SNR and mass, each against its largest value within the span, with the newest values.
void draw_graph_star_band(Canvas& c, const GuideErrorLog& log, const GraphTimeAxis& t);
// RA, Dec, corrections, SNR and mass in their colours.
void draw_graph_legend(Canvas& c);

}  // namespace kvr
