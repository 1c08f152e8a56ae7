#pragma once
// Display choices, the 8-bit display buffers and the picture the main window paints. Display
// choices never change the 16-bit image data.
#include <cstddef>
#include <cstdint>

#include "core/command_ids.h"
#include "core/image_store.h"
#include "core/state_macros.h"

namespace kvr {

// The display buffers hold one byte per pixel of the largest frame (spare bytes included).
inline constexpr int kDisplayBufferBytes = kFrameBufferLength;  // 436164
inline constexpr int kPaletteEntries = 256;
inline constexpr int kStretchTableEntries = 255;
inline constexpr int kHistogramEntries = 257;
// Command ids of the two tool-bar buttons that switch the display stretch.
inline constexpr int kMaxStretchOnButton = id_of(Cmd::MaxStretchOn);
inline constexpr int kMaxStretchOffButton = id_of(Cmd::MaxStretchOff);

#define KVR_DISPLAY_STATE(V, T, A, L)                         \
    V(int, Big, 0)                                            \
    V(int, Geo, 0)                                            \
    V(int, colour_palette, 0)                                 \
    V(int, stretch_palette, 0)                                \
    V(int, max_stretch, 0)                                    \
    V(double, max_stretch_mult, 25.0)                         \
    V(int, focus_stretch, 14)                                 \
    A(uint16_t, stretch_bmp_table, kStretchTableEntries)      \
    V(unsigned char, min_pix, 0)                              \
    V(unsigned char, max_pix, 255)                            \
    V(int, most_pop, 0)                                       \
    A(unsigned, table, kHistogramEntries)                     \
    V(int, prep_image, 0)                                     \
    V(int, back_r, 192)                                       \
    V(int, back_g, 192)                                       \
    V(int, back_b, 192)                                       \
    V(int, back_changed, 0)                                   \
    V(int, focussed, 0)                                       \
    V(int, blink_it, 0)                                       \
    V(int, photometry, 0)                                     \
    V(int, PixelWidth, 0)                                     \
    V(int, PixelHeight, 0)                                    \
    V(uint16_t, Colors, 0)                                    \
    /* command id of the display-stretch button on the bar */ \
    V(int, max_stretch_button, kMaxStretchOnButton)
KVR_STATE_STRUCT(DisplayVariables, KVR_DISPLAY_STATE)

// A colour as 0xAARRGGBB with opaque alpha (the layout of a Qt QRgb).
using Argb = uint32_t;
constexpr Argb argb(int r, int g, int b) {
    return 0xFF000000u | (uint32_t(r & 0xFF) << 16) | (uint32_t(g & 0xFF) << 8) |
           uint32_t(b & 0xFF);
}
constexpr int red_of(Argb c) {
    return int((c >> 16) & 0xFF);
}
constexpr int green_of(Argb c) {
    return int((c >> 8) & 0xFF);
}
constexpr int blue_of(Argb c) {
    return int(c & 0xFF);
}

// An 8-bit palettised picture, rows top first. Wrapped by the GUI as an indexed image over the
// same memory; `stride` is a multiple of 4.
struct DisplayBitmap {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    const Argb* colours = nullptr;  // kPaletteEntries entries
};

// The main window's display members: the loaded bitmap (double-buffered so that a failed load
// leaves the shown one untouched), the background brush and the scroller.
struct MainWindowPicture {
    uint8_t pixels[2][kDisplayBufferBytes] = {};
    Argb colours[2][kPaletteEntries] = {};
    int width[2] = {};
    int height[2] = {};
    int stride[2] = {};
    int front = -1;  // buffer shown, -1 before the first load
    bool has_brush = false;
    Argb brush = 0;
    int client_width = 0, client_height = 0;
    int scroll_range_x = 0, scroll_range_y = 0;
    int scroll_x = 0, scroll_y = 0;
};

struct DisplayState : DisplayVariables {
    // 8-bit display buffer, rows top first (filled from the image's high bytes).
    uint8_t pixels_c[kDisplayBufferBytes] = {};
    // Work buffer in which the bitmap writer lays out rows bottom first.
    uint8_t pixels_bmp[kDisplayBufferBytes] = {};
    // Grey ramp palette built at start-up: entry i is (i, i, i).
    Argb pallet_c[kPaletteEntries] = {};
    // Colour table of the last bitmap written.
    Argb bmp_colours[kPaletteEntries] = {};
    MainWindowPicture window;

    void register_in(Registry& r) {
        DisplayVariables::register_in(r);
        r.add_buffer("pixels_c", pixels_c, sizeof pixels_c);
        r.add_buffer("pixels_bmp", pixels_bmp, sizeof pixels_bmp);
    }
};

}  // namespace kvr
