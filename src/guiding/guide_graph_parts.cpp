#include "guiding/guide_graph_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "guiding/graph_text.h"
#include "guiding/guide_graph.h"

namespace kvr {

namespace {

constexpr Argb kBandBackground = argb(255, 255, 255);
constexpr Argb kBandFrame = argb(128, 128, 128);
constexpr int kLabelX = kGraphWidth + 4;

template <typename Value>
void draw_trace(Canvas& c, const GuideErrorLog& log, const GraphTimeAxis& t, Value value,
                Argb colour) {
    float most = 0;
    for (int i = 0; i < log.count() && t.shows(log.newest(i).at_ms); ++i)
        most = std::max(most, value(log.newest(i)));
    if (most <= 0) return;
    const int bottom = kGraphStarTop + kGraphStarHeight - 2;
    auto row = [&](const GuideErrorSample& s) {
        return bottom - static_cast<int>(
                            std::lround(std::max(0.0f, value(s)) / most * (kGraphStarHeight - 4)));
    };
    for (int i = 0; i + 1 < log.count() && t.shows(log.newest(i + 1).at_ms); ++i) {
        const GuideErrorSample& a = log.newest(i + 1);
        const GuideErrorSample& b = log.newest(i);
        c.line(t.x(a.at_ms), row(a), t.x(b.at_ms), row(b), colour);
    }
    if (log.count() > 0 && t.shows(log.newest(0).at_ms))
        c.set(t.x(log.newest(0).at_ms), row(log.newest(0)), colour);
}

}  // namespace

int GraphTimeAxis::x(uint32_t t) const {
    const double back = double(end - t) / span;
    return (kGraphWidth - 1) - static_cast<int>(std::lround(back * (kGraphWidth - 1)));
}

void draw_graph_scales(Canvas& c, double full_scale_arcsec, int longest_pulse, bool ao) {
    char text[24];
    std::snprintf(text, sizeof text, "+%g\"", full_scale_arcsec);
    draw_graph_text(c, kLabelX, 0, text, kGraphTextColour);
    draw_graph_text(c, kLabelX, kGraphErrorHeight / 2 - kGraphGlyphHeight / 2, "0\"",
                    kGraphTextColour);
    std::snprintf(text, sizeof text, "-%g\"", full_scale_arcsec);
    draw_graph_text(c, kLabelX, kGraphErrorHeight - kGraphGlyphHeight, text, kGraphTextColour);
    std::snprintf(text, sizeof text, "%d %s", longest_pulse, ao ? "st" : "ms");
    draw_graph_text(c, kLabelX, kGraphPulseTop, text, kGraphTextColour);
    draw_graph_text(c, kLabelX, kGraphHeight - kGraphGlyphHeight, "corr", kGraphTextColour);
}

void draw_graph_time_axis(Canvas& c, const GraphTimeAxis& t) {
    const char* now = "now";
    int free_left = kGraphWidth - graph_text_width(now) - 4;
    draw_graph_text(c, free_left + 4, kGraphTimeTop, now, kGraphTextColour);
    for (uint32_t back = 60000; back <= t.span; back += 60000) {
        char text[16];
        std::snprintf(text, sizeof text, "-%u min", back / 60000);
        const int w = graph_text_width(text);
        const int x = std::max(0, t.x(t.end - back) - w / 2);
        if (x + w + 4 > free_left) continue;
        draw_graph_text(c, x, kGraphTimeTop, text, kGraphTextColour);
        free_left = x;
    }
}

void draw_graph_star_band(Canvas& c, const GuideErrorLog& log, const GraphTimeAxis& t) {
    c.fill_rect(0, kGraphStarTop, kGraphWidth, kGraphStarTop + kGraphStarHeight, kBandBackground);
    c.frame_rect(0, kGraphStarTop, kGraphWidth, kGraphStarTop + kGraphStarHeight, kBandFrame);
    draw_trace(
        c, log, t, [](const GuideErrorSample& s) { return s.mass; }, kGraphMassColour);
    draw_trace(
        c, log, t, [](const GuideErrorSample& s) { return s.snr; }, kGraphSnrColour);
    if (log.count() == 0) return;
    char text[24];
    std::snprintf(text, sizeof text, "SNR %.0f", double(log.newest(0).snr));
    draw_graph_text(c, kLabelX, kGraphStarTop, text, kGraphSnrColour);
    std::snprintf(text, sizeof text, "%.0fk", double(log.newest(0).mass) / 1000);
    draw_graph_text(c, kLabelX, kGraphStarTop + kGraphStarHeight - kGraphGlyphHeight, text,
                    kGraphMassColour);
}

void draw_graph_legend(Canvas& c) {
    int x = 0;
    x = draw_graph_text(c, x, kGraphLegendTop, "RA", kGraphRaColour) + kGraphGlyphWidth;
    x = draw_graph_text(c, x, kGraphLegendTop, "Dec", kGraphDecColour) + kGraphGlyphWidth;
    x = draw_graph_text(c, x, kGraphLegendTop, "errors in \" above  corrections below E N up",
                        kGraphTextColour) +
        kGraphGlyphWidth;
    x = draw_graph_text(c, x, kGraphLegendTop, "SNR", kGraphSnrColour) + kGraphGlyphWidth;
    draw_graph_text(c, x, kGraphLegendTop, "mass", kGraphMassColour);
}

}  // namespace kvr
