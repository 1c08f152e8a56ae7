#pragma once
// The guider picture: the guider image's high bytes lifted off the background and shown through
// the guider stretch palette. The scratch bitmap "c:\KVR_Q4G.bmp" and the guider windows'
// drawings show the same picture.
#include <cstdint>

#include "core/display_state.h"

namespace kvr {

struct Program;
struct Canvas;

struct GuiderPictureMap {
    Argb colours[kPaletteEntries];
    int threshold = 0;  // background level taken off every display level up to 252
    // The display level of a guider pixel.
    uint8_t level(uint16_t pixel) const {
        const int h = pixel >> 8;
        return static_cast<uint8_t>(h > 252 ? h : h > threshold ? h - threshold : 0);
    }
};

// The palette (grey, or the stretch curve of `guider_stretch` with `guider_max_stretch`) and the
// background threshold from `guider_most_pop`; an implausible `guider_max_val` becomes 255.
GuiderPictureMap guider_picture_map(Program& p);

// Draws the 500 × 290 guider image at (x, y) of the canvas.
void draw_guider_picture(Program& p, Canvas& canvas, int x, int y);

}  // namespace kvr
