#include "app/mouse_dispatch.h"

#include "app/mouse_modes.h"
#include "core/messages.h"
#include "core/program.h"
#include "guiding/centroid.h"
#include "imaging/level_views.h"
#include "imaging/merging.h"
#include "imaging/photometry.h"

namespace kvr {

namespace {

// The picture at 150 %: 375 × 289 image pixels shown as 563 × 434.
constexpr int kBigWidth = 563;
constexpr int kBigHeight = 434;
// Pick mode keeps the star's box this far inside the picture.
constexpr int kPickMargin = 3;
constexpr int kSnapPasses = 3;

void refuse_outside(Program& p, int x, int y) {
    message50f(p, "Sorry, outside Image area - try again\n\nx position = %5d\ny position = %5d", x,
               y);
}

bool any_click_mode(const Program& p) {
    return p.display.photometry || p.measure.row_plot || p.settings.merging || p.shell.pick_star ||
           p.measure.focus_frame;
}

// The window point onto the image: the scroll origin added.
void to_picture(const Program& p, int& x, int& y) {
    x += p.display.window.scroll_x;
    y += p.display.window.scroll_y;
}

// Snaps the point onto the star's centroid three times; false when a centroid failed (it showed
// its own message). An empty box leaves the point where it is, not on an earlier star.
bool snap_to_star(Program& p, int& x, int& y) {
    const int rad = p.guide.cur_rad;
    for (int pass = 0; pass < kSnapPasses; ++pass) {
        if (x >= p.geo.width1 - rad || y >= p.geo.height1 - rad) continue;
        p.guide.xcent = x;
        p.guide.ycent = y;
        if (find_centre(p, x, y, p.buf->image_int, rad) != 0) {
            p.shell.picked_star = 0;
            return false;
        }
        p.shell.picked_star = 1;
        x = p.guide.xcent;
        y = p.guide.ycent;
    }
    return true;
}

}  // namespace

void EvLButtonUp(Program& p, int x, int y) {
    if (!any_click_mode(p)) return;
    to_picture(p, x, y);
    const bool big = p.display.Big != 0;
    const int width = big ? kBigWidth : p.geo.width2;
    const int height = big ? kBigHeight : p.geo.height2;
    const int edge = p.guide.cur_rad + (p.shell.pick_star ? kPickMargin : 0);
    if (!p.measure.focus_frame && (x < edge || x > width - edge || y < edge || y > height - edge)) {
        refuse_outside(p, x, y);
        return;
    }
    if (big) {
        x = 2 * x / 3;
        y = 2 * y / 3;
    }
    if (p.measure.row_plot) {
        p.measure.obj_y = y;
        row_plot_redraw(p);
        return;
    }
    if (p.display.photometry || p.shell.pick_star || p.measure.focus_frame) {
        if (p.shell.centre_it && !snap_to_star(p, x, y)) return;
        if (p.measure.focus_frame) {
            place_focus_frame(p, x, y);
            return;
        }
        p.shell.centre_it = 0;
        if (p.shell.pick_star) {
            record_picked_star(p, x, y);
            return;
        }
        // A star snapped near the edge may leave its measuring square partly off the image.
        const int rad = p.guide.cur_rad;
        if (x < rad || y < rad || x + rad >= p.geo.width1 || y + rad >= p.geo.height1) {
            refuse_outside(p, x, y);
            return;
        }
        photometry_measure(p, x, y);
        return;
    }
    if (p.measure.merge_centre) search_centre(p, p.buf->image_int, x, y);
    merge_mark(p, x, y);
}

void EvRButtonUp(Program& p, int x, int y) {
    if (!p.display.photometry) return;
    p.shell.centre_it = 1;
    EvLButtonUp(p, x, y);
}

void EvMouseMove(Program& p, int x, int y) {
    if (!p.display.photometry) return;
    to_picture(p, x, y);
    if (x > 1 && x < p.geo.width2 && y > 1 && y < p.geo.height2) photometry_pointer(p, x, y);
}

void install_mouse_handlers(Program& p) {
    p.mouse = {EvLButtonUp, EvRButtonUp, EvMouseMove};
}

}  // namespace kvr
