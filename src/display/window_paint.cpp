// Painting the main window into a Canvas.
#include "core/canvas.h"
#include "core/program.h"
#include "display/display.h"
#include "imaging/level_views.h"
#include "imaging/statistics.h"

namespace kvr {

namespace {

// The picked guide star's cross, in picture coordinates (the pick is kept in full-frame
// coordinates, so a binned picture shows it at half).
std::optional<PickCross> pick_cross(const Program& p) {
    if (p.shell.picked_star != 1 || p.shell.pick_star != 1) return std::nullopt;
    const int scale = p.readout.binned ? 2 : 1;
    return PickCross{p.shell.pick_xcent / scale, p.shell.pick_ycent / scale};
}

void draw_picture(const Program& p, Canvas& dc, const WindowView& view, Argb brush) {
    const std::optional<DisplayBitmap> picture = window_bitmap(p);
    if (!picture) {
        dc.fill(brush);
    } else if (view.iconic || p.shell.Fit) {
        dc.stretch_blit(*picture, 0, 0, dc.width(), dc.height());
    } else {
        const MainWindowPicture& w = p.display.window;
        dc.blit(*picture, -w.scroll_x, -w.scroll_y);
        const int right = p.display.PixelWidth - w.scroll_x;
        const int bottom = p.display.PixelHeight - w.scroll_y;
        dc.fill_rect(right, 0, dc.width(), dc.height(), brush);
        dc.fill_rect(0, bottom, dc.width(), dc.height(), brush);
    }
}

}  // namespace

std::optional<PickCross> paint_window(Program& p, Canvas& dc, const WindowView& view) {
    if (p.display.prep_image) {
        p.display.prep_image = 0;
        image_prepare(p);
    }
    dc.resize(view.client_width, view.client_height);
    const Argb brush = background_brush(p);
    draw_picture(p, dc, view, brush);

    const uint16_t* shown = p.ptr.image;
    p.ptr.image = p.buf->image_int;
    if (!p.display.photometry && !p.shell.pick_star) p.host.set_wait_cursor(false);
    const std::optional<PickCross> cross = pick_cross(p);
    if (cross) {
        const MainWindowPicture& w = p.display.window;
        const int x = cross->x - w.scroll_x, y = cross->y - w.scroll_y, arm = PickCross::kArm;
        dc.line(x - arm, y, x + arm + 1, y, PickCross::kColour);
        dc.line(x, y - arm, x, y + arm + 1, PickCross::kColour);
        p.shell.centre_it = 1;
        p.guide.cur_rad = p.settings.star_mask;
    }
    // The histogram always describes the picture just painted.
    build_histogram(p, shown);
    histogram_window_follow(p);
    return cross;
}

}  // namespace kvr
