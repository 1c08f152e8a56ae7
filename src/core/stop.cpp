// Stop detection of long operations.
#include <string>

#include "core/messages.h"
#include "core/program.h"

namespace kvr {

void reset_focus_frame(Program& p) {
    p.readout.focus_x = kDefaultFocusX;
    p.readout.focus_y = kDefaultFocusY;
}

namespace {

// The status-line note of a stop: what stopped and what stopped it.
std::string stop_note(const Program& p, const Presses& seen) {
    const GuideState& g = p.guide;
    std::string note = g.guiding || g.tracking ? "Guiding"
                       : g.selfguiding         ? "Self-guided exposure"
                                               : "Exposure";
    if (seen.key)
        note += " stopped: a key was pressed.";
    else if (seen.left || seen.right)
        note += " stopped: a mouse button was pressed.";
    else
        note += " stopped: the main window is closing.";
    return note;
}

}  // namespace

bool clear_messages(Program& p) {
    const Presses seen = p.host.pump();
    if (!seen) return false;
    p.host.show_status(stop_note(p, seen));
    RunState& r = p.run;
    GuideState& g = p.guide;
    r.no_images = 1;
    r.end_loop = 1;
    if (r.series_exposure) p.readout.exposure = r.exposure_save;
    r.cont_work = 0;
    r.series_work = 0;
    if (g.guiding) r.continuous = 0;
    g.guiding = 0;
    g.tracking = 0;
    p.readout.endticks = p.readout.ticks;  // ends the running wait
    p.host.beep();
    reset_focus_frame(p);
    if (g.selfguiding) info_stopped(p);
    g.selfguiding = 0;
    r.selfguiding_darkframe = 0;
    r.switch_frame = 0;
    return true;
}

}  // namespace kvr
