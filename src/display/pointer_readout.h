#pragma once
// The pixel under the pointer, as the status bar reads it out: its position in the image's own
// pixels and its value, whatever the window shows (binned or full frame, the camera geometry,
// the enlargement, the 128 × 128 focus window, scrolled or fitted to the window).
#include <optional>
#include <string>

namespace kvr {

struct Program;

struct PixelReadout {
    int x = 0, y = 0;  // px of the image shown
    int value = 0;     // the stored sample
};

// The image pixel under window point (wx, wy) of the main image window; nothing when the point
// lies off the picture or no picture is shown.
std::optional<PixelReadout> main_window_pixel(const Program& p, int wx, int wy);

// The guider head's pixel at (x, y) of its 500 × 290 picture, as the head's 8-bit sample;
// nothing off the picture or before the first guider frame.
std::optional<PixelReadout> guider_picture_pixel(const Program& p, int x, int y);

// "x 123 px  y 45 px  value 6789".
std::string pixel_readout_text(const PixelReadout& r);

}  // namespace kvr
