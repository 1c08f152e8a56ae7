#pragma once
// The main window's display: the refresh every image-changing operation ends with, the picture
// the window paints, its scroller and background, and painting.
#include <optional>

#include "core/display_state.h"

namespace kvr {

struct Program;
struct Canvas;

// Builds the grey palette and the display-stretch button state (application start-up).
void init_display(Program& p);

// The display refresh: display buffer from the current image (unless a blink has filled it),
// caption from `image_name`, the scratch bitmap written and loaded as the window's picture.
void image_prepare(Program& p);
// Messages 8, 9 and 10 for the bitmap writers' failures 1, 2 and 3; nothing for 0.
void report_bitmap_failure(Program& p, int result);
// Writes the scratch bitmap of the current display buffer (messages 8, 9, 10 on failure).
void write_bitmap(Program& p);
// Loads a bitmap file (a drive path such as "c:\kvr_q4.bmp") as the window's picture; message 32
// and the previous picture kept when it cannot be read. True when loaded.
bool load_bitmap_file(Program& p, const char* name);

// The picture the main window shows, or nothing before the first load. Valid until the next load.
std::optional<DisplayBitmap> window_bitmap(const Program& p);

// Realises the window's palette: the window is repainted.
void update_palette(Program& p, bool always_repaint);
// Scroll range from the picture and client sizes (none while fitting), scrolled to the origin.
void adjust_scroller(Program& p);
// update_palette, then adjust_scroller (window command 891).
void repaint_picture(Program& p);
// The client area changed size; `minimised` sizes are ignored.
void window_resized(Program& p, int client_width, int client_height, bool minimised);
// The brush outside the picture, rebuilt from `back_r`, `back_g`, `back_b` when they changed.
Argb background_brush(Program& p);

// The green cross through the picked guide star, in picture coordinates.
struct PickCross {
    int x, y;
    static constexpr int kArm = 20;
    static constexpr Argb kColour = argb(0, 255, 0);
};

// What the window shows besides the picture.
struct WindowView {
    int client_width = 0;
    int client_height = 0;
    bool iconic = false;
};
// Paints the main window into `dc` (sized to the client area): a pending refresh first, the
// picture unscaled at the scroll origin or stretched to fit, the background around it, the pick
// cross; then the current-image pointer is reset and the histogram rebuilt from the image that
// was current. The cross, when one is drawn, is returned.
std::optional<PickCross> paint_window(Program& p, Canvas& dc, const WindowView& view);

}  // namespace kvr
