#pragma once
// From the 16-bit image to the 8-bit display values and their colours. The display value of a
// pixel is its high byte; the stretches here rewrite display values or colours, never the data.
#include <cstdint>

#include "core/display_state.h"

namespace kvr {

struct Program;

// trunc(v) for 0 ≤ v < 2^31 computed in extended precision.
int truncate_extended(long double v);

// Sizes of the five display geometries in pixels.
inline constexpr int kFocusSide = 128;
inline constexpr int kFocusPixels = kFocusSide * kFocusSide;  // 16384
inline constexpr int kGeoWidth = 564;
inline constexpr int kGeoHeight = 452;
inline constexpr int kBigWidth = 564;
inline constexpr int kBigHeight = 435;
inline constexpr int kBinnedPixels = kBinnedWidth * kBinnedHeight;  // 109040
inline constexpr int kFullPixels = kFullWidth * kFullHeight;        // 436160

enum class DisplayGeometry { Focus, Binned, Camera, Enlarged, Full };

struct GeometrySize {
    int width;
    int height;
};
GeometrySize geometry_size(DisplayGeometry g);
// The bitmap a display of these choices shows (the focus flag or tracking: 128 × 128; then, for
// binned frames, camera geometry before the enlargement).
DisplayGeometry display_geometry(const Program& p, int focus, int geo);
// Display bytes the display buffer holds for a geometry (the enlargement is made from the
// standard binned bytes while the rows are laid out).
int display_bytes(DisplayGeometry g);

// Fills `dst` with the display values of `src` (a frame of the current geometry): the high bytes
// of the first 16384 pixels for a focus or tracking frame, of the first 109044 (binned) or 436164
// (full) pixels, or a bilinear resample of a binned frame to 564 × 452 when `geo` is set.
void setup_image(const Program& p, const uint16_t* src, uint8_t* dst, int focus, int geo);
// setup_image of the current image into `pixels_c` with `focus_mode` and `Geo`.
void display_image(Program& p);

// Darkest non-zero value and brightest value below 253 among the first n display bytes.
void scan_display_range(Program& p, const uint8_t* buf, int n);
// `stretch_bmp_table`[i] = 255·m·x / (x·(m − 1) + 1), x = i / 255, for i = 0 … 254.
void build_stretch_table(Program& p, double m);
// The max stretch on the first n display bytes: scan, table (strength `focus_stretch` in focus
// mode, else `max_stretch_mult`) and remap of every value below 253. Then, for a binned focus
// frame with auto exposure, the next focus exposure from the frame's brightest pixel.
void setup_stretched_bmp(Program& p, uint8_t* buf, int n, int focus, int geo);
// Doubles a focus exposure of a dim frame or halves that of a saturated one, and sets
// `exp_range` and `exp_value` from it.
void adjust_focus_exposure(Program& p);

// The display stretch and colours of a bitmap about to be written: the max stretch of `display`
// (with `max_stretch` or `focus`), the palette stretch table and the colour table into
// `bmp_colours`. Returns the geometry the bitmap takes.
DisplayGeometry prepare_bitmap(Program& p, uint8_t* display, int focus, int geo);

// P[i] = 0 up to the most populated level p, then 255^0.7 · (i − p)^0.3, capped at 255.
void palette_stretch_table(int most_pop, uint8_t out[kPaletteEntries]);
// The 256 colours of the display bitmap from `colour_palette` and `stretch_palette`; `stretched`
// is the palette stretch table (used only when `stretch_palette` is set).
void build_colour_table(const Program& p, const uint8_t* stretched, Argb out[kPaletteEntries]);

}  // namespace kvr
