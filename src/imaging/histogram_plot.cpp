#include "imaging/histogram_plot.h"

#include "core/canvas.h"

namespace kvr {

namespace {

constexpr Argb kAxisColour = argb(0, 0, 255);
constexpr Argb kBarColour = argb(128, 128, 128);
constexpr Argb kCutBarColour = argb(255, 0, 0);
constexpr int kAxisX = 5;
constexpr int kAxisTop = 5;
constexpr int kAxisY = 213;
constexpr int kAxisRight = 263;
constexpr int kFirstTick = 40;
constexpr int kTickStep = 32;
constexpr int kLastTick = 264;

}  // namespace

int draw_level_histogram(Canvas& canvas, const unsigned* table, HistogramTicks ticks) {
    // The platform's pen leaves out the end point of each line.
    canvas.line(kAxisX, kAxisTop, kAxisX, kAxisY, kAxisColour);
    canvas.line(kAxisX, kAxisY, kAxisRight, kAxisY, kAxisColour);
    for (int x = kFirstTick; x <= kLastTick; x += kTickStep) {
        const int end = x == 136                ? ticks.middle
                        : (x == 72 || x == 200) ? ticks.quarter
                                                : ticks.plain;
        canvas.line(x, kAxisY, x, end, kAxisColour);
    }
    int cut = 0;
    for (int level = 0; level < kHistogramLevels; ++level) {
        unsigned h = table[level] / kHistogramCountScale;
        Argb colour = kBarColour;
        if (h > static_cast<unsigned>(kHistogramBase)) {
            h = kHistogramBase;
            colour = kCutBarColour;
            ++cut;
        }
        const int x = level + kHistogramBarsX;
        canvas.line(x, kHistogramBase, x, kHistogramBase - static_cast<int>(h), colour);
    }
    return cut;
}

}  // namespace kvr
