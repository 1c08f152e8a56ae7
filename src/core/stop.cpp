// Stop detection of long operations.
#include "core/messages.h"
#include "core/program.h"

namespace kvr {

void reset_focus_frame(Program& p) {
    p.readout.focus_x = kDefaultFocusX;
    p.readout.focus_y = kDefaultFocusY;
}

bool clear_messages(Program& p) {
    if (!p.host.pump()) return false;
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
    if (g.selfguiding) info_close(p);
    g.selfguiding = 0;
    r.selfguiding_darkframe = 0;
    r.switch_frame = 0;
    return true;
}

}  // namespace kvr
