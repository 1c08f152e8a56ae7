#include "display/guider_picture.h"

#include "core/canvas.h"
#include "core/program.h"
#include "display/display_mapping.h"

namespace kvr {

namespace {

// Guider backgrounds above this level are not taken off.
constexpr int kMaxThreshold = 100;
constexpr int kThresholdBelowBackground = 3;

}  // namespace

GuiderPictureMap guider_picture_map(Program& p) {
    GuideState& gs = p.guide;
    GuiderPictureMap m;
    const long double s = gs.guider_stretch;
    for (int i = 0; i < kPaletteEntries; ++i) {
        int v = i;
        if (gs.guider_max_stretch) {
            const long double x = static_cast<long double>(i) / 255.0L;
            const long double curve = 255.0L * s * x / (x * (s - 1.0L) + 1.0L);
            v = !(curve > 0.0L) ? 0 : curve >= 255.0L ? 255 : truncate_extended(curve);
        }
        m.colours[i] = argb(v, v, v);
    }
    m.threshold = gs.guider_most_pop - kThresholdBelowBackground;
    if (m.threshold < 0 || m.threshold > kMaxThreshold) m.threshold = 0;
    if (gs.guider_max_val < m.threshold) gs.guider_max_val = 255;
    return m;
}

void draw_guider_picture(Program& p, Canvas& canvas, int x, int y) {
    const GuiderPictureMap m = guider_picture_map(p);
    const uint16_t* src = p.ptr.guider_image;
    for (int row = 0; row < kGuiderHeight; ++row) {
        const uint16_t* in = src + row * kGuiderWidth;
        for (int col = 0; col < kGuiderWidth; ++col)
            canvas.set(x + col, y + row, m.colours[m.level(in[col])]);
    }
}

}  // namespace kvr
