#include "app/mouse_modes.h"

#include "core/messages.h"
#include "core/program.h"
#include "display/display.h"

namespace kvr {

namespace {

constexpr const char* kPositionText = "x position = %5d\ny position = %5d";
// The sub-frame's origin keeps its 128 × 128 window on the 752-column chip and the 290-row
// field: columns 3 … 686, rows 1 … 226.
constexpr int kFocusHalf = 64;
constexpr int kFocusMinX = 3, kFocusMaxX = 686, kFocusMinY = 1, kFocusMaxY = 226;

}  // namespace

void place_focus_frame(Program& p, int x, int y) {
    const int s = p.readout.binned ? 2 : 1;
    // The display shows each field row twice.
    const int X = s * x, Y = s * y / 2;
    Readout& r = p.readout;
    r.focus_x = X < kFocusHalf + kFocusMinX ? kFocusMinX
                : X > kFocusMaxX            ? kFocusMaxX
                                            : X - kFocusHalf;
    r.focus_y = Y < kFocusHalf + kFocusMinY ? kFocusMinY
                : Y > kFocusMaxY            ? kFocusMaxY
                                            : Y - kFocusHalf;
    p.measure.focus_frame = 0;
    message50f(p, kPositionText, r.focus_x + kFocusHalf, 2 * (r.focus_y + kFocusHalf));
}

void record_picked_star(Program& p, int x, int y) {
    ShellState& sh = p.shell;
    const int s = p.readout.binned ? 2 : 1;
    sh.pick_small = sh.pick_star_small = p.readout.binned ? 1 : 0;
    p.guide.xcent = s * x;
    p.guide.ycent = s * y;
    sh.pick_xcent = p.guide.xcent;
    sh.pick_ycent = p.guide.ycent;
    p.measure.focus_frame = 0;
    message50f(p, kPositionText, sh.pick_xcent, sh.pick_ycent);
    PaintIt(p);
}

}  // namespace kvr
