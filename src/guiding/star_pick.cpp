#include "guiding/star_pick.h"

#include "core/messages.h"
#include "core/program.h"
#include "display/display.h"
#include "guiding/centroid.h"

namespace kvr {

namespace {

// Picture size at 150 %.
constexpr int kBigWidth = 563;
constexpr int kBigHeight = 434;
// Pick mode keeps clicks this far inside the centroid box's reach of the edge.
constexpr int kPickMargin = 3;
constexpr int kSnapPasses = 3;
// Limits of the focus window's origin: 128 × 128 on a 752 × 290 field.
constexpr int kFocusHalf = 64;
constexpr int kFocusMinX = 3, kFocusMaxX = 686;
constexpr int kFocusMinY = 1, kFocusMaxY = 226;

}  // namespace

bool outside_margin(const Program& p, int x, int y) {
    const ShellState& s = p.shell;
    const int width = p.display.Big ? kBigWidth : p.geo.width2;
    const int height = p.display.Big ? kBigHeight : p.geo.height2;
    const int m = s.pick_star ? kPickMargin : 0;
    const int r = p.guide.cur_rad;
    return x < r + m || x > width - r - m || y < r + m || y > height - r - m;
}

bool snap_to_star(Program& p, int& x, int& y) {
    GuideState& g = p.guide;
    for (int i = 0; i < kSnapPasses; ++i) {
        if (x >= p.geo.width1 - g.cur_rad || y >= p.geo.height1 - g.cur_rad) continue;
        // A click on empty sky is refused (the centroid has said so): it would otherwise take
        // the position the last star left behind.
        if (find_centre(p, x, y, p.buf->image_int, g.cur_rad) != 0 || !g.centre_found) {
            p.shell.picked_star = 0;
            return false;
        }
        p.shell.picked_star = 1;
        x = g.xcent;
        y = g.ycent;
    }
    return true;
}

namespace {

void place_focus_frame(Program& p, int x, int y) {
    Readout& r = p.readout;
    const int scale = r.binned ? 2 : 1;
    const int fx = scale * x, fy = scale * y / 2;
    r.focus_x = fx < kFocusMinX + kFocusHalf ? kFocusMinX
                                             : (fx > kFocusMaxX ? kFocusMaxX : fx - kFocusHalf);
    r.focus_y = fy < kFocusMinY + kFocusHalf ? kFocusMinY
                                             : (fy > kFocusMaxY ? kFocusMaxY : fy - kFocusHalf);
    p.shell.focus_frame = 0;
    message50f(p, "x position = %5d\ny position = %5d", r.focus_x + kFocusHalf,
               2 * (r.focus_y + kFocusHalf));
}

void pick_star_at(Program& p, int x, int y) {
    ShellState& s = p.shell;
    GuideState& g = p.guide;
    if (!s.centre_it) {
        g.xcent = x;
        g.ycent = y;
    }
    // Picks are kept in full-frame coordinates.
    const bool small = p.readout.binned != 0;
    s.pick_small = s.pick_star_small = small ? 1 : 0;
    if (small) {
        g.xcent *= 2;
        g.ycent *= 2;
    }
    s.pick_xcent = g.xcent;
    s.pick_ycent = g.ycent;
    s.focus_frame = 0;
    message50f(p, "x position = %5d\ny position = %5d", s.pick_xcent, s.pick_ycent);
    repaint_picture(p);
}

}  // namespace

void pick_guide_star(Program& p) {
    ShellState& s = p.shell;
    if (p.display.Geo || s.Fit) {
        messages(p, Msg::PickStarGeometry);
        return;
    }
    s.pick_star = s.pick_star ? 0 : 1;
    if (s.pick_star) {
        s.centre_it = 1;
        p.guide.cur_rad = p.settings.star_mask;
    }
    p.host.set_wait_cursor(false);
}

void centre_focus_frame(Program& p) {
    p.shell.focus_frame = 1;
    p.shell.centre_it = 0;
    p.host.set_wait_cursor(false);
}

bool pick_or_focus_click(Program& p, int x, int y) {
    ShellState& s = p.shell;
    if (!s.pick_star && !s.focus_frame) return false;
    // A guide star is measured with the guide-star box, whatever a photometry click left behind.
    if (s.pick_star) p.guide.cur_rad = p.settings.star_mask;
    x += p.display.window.scroll_x;
    y += p.display.window.scroll_y;
    if (!s.focus_frame && outside_margin(p, x, y)) {
        message50f(p, "Sorry, outside Image area - try again\n\nx position = %5d\ny position = %5d",
                   x, y);
        return true;
    }
    if (p.display.Big) {
        x = 2 * x / 3;
        y = 2 * y / 3;
    }
    if (s.centre_it && !snap_to_star(p, x, y)) return true;
    if (s.focus_frame) {
        place_focus_frame(p, x, y);
        return true;
    }
    pick_star_at(p, x, y);
    s.centre_it = 0;
    return true;
}

}  // namespace kvr
