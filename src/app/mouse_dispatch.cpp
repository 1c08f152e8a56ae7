#include "app/mouse_dispatch.h"

#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/pointer_readout.h"
#include "guiding/centroid.h"
#include "guiding/star_pick.h"
#include "imaging/level_views.h"
#include "imaging/merging.h"
#include "imaging/photometry.h"

namespace kvr {

namespace {

void refuse_outside(Program& p, int x, int y) {
    message50f(p, "Sorry, outside Image area - try again\n\nx position = %5d\ny position = %5d", x,
               y);
}

bool any_click_mode(const Program& p) {
    return p.display.photometry || p.measure.row_plot || p.settings.merging || p.shell.pick_star ||
           p.shell.focus_frame;
}

// The window point onto the picture: the scroll origin added.
void to_picture(const Program& p, int& x, int& y) {
    x += p.display.window.scroll_x;
    y += p.display.window.scroll_y;
}

// A measuring click at image point (x, y), snapped onto the star first when asked.
void measure_at(Program& p, int x, int y) {
    if (p.shell.centre_it && !snap_to_star(p, x, y)) return;
    p.shell.centre_it = 0;
    // A star snapped near the edge may leave its measuring square partly off the image.
    const int rad = p.guide.cur_rad;
    if (x < rad || y < rad || x + rad >= p.geo.width1 || y + rad >= p.geo.height1) {
        refuse_outside(p, x, y);
        return;
    }
    photometry_measure(p, x, y);
}

}  // namespace

void left_button_up(Program& p, int x, int y) {
    if (!any_click_mode(p)) return;
    // The pick and focus modes handle their own clicks, unless the row profile takes them.
    if (!p.measure.row_plot && pick_or_focus_click(p, x, y)) return;
    to_picture(p, x, y);
    if (outside_margin(p, x, y)) {
        refuse_outside(p, x, y);
        return;
    }
    if (p.display.Big) {
        x = 2 * x / 3;
        y = 2 * y / 3;
    }
    if (p.measure.row_plot) {
        p.measure.obj_y = y;
        row_plot_redraw(p);
    } else if (p.display.photometry) {
        measure_at(p, x, y);
    } else {
        int point[2] = {x, y};
        if (p.measure.merge_centre) search_centre(p, p.buf->image_int, point);
        merge_mark(p, point[0], point[1]);
    }
}

void right_button_up(Program& p, int x, int y) {
    if (!p.display.photometry) return;
    p.shell.centre_it = 1;
    left_button_up(p, x, y);
}

void mouse_moved(Program& p, int x, int y) {
    const std::optional<PixelReadout> under = main_window_pixel(p, x, y);
    p.host.show_pointer(under ? pixel_readout_text(*under) : std::string());
    if (!p.display.photometry) return;
    to_picture(p, x, y);
    if (x > 1 && x < p.geo.width2 && y > 1 && y < p.geo.height2) photometry_pointer(p, x, y);
}

void install_mouse_handlers(Program& p) {
    p.mouse = {left_button_up, right_button_up, mouse_moved};
}

}  // namespace kvr
