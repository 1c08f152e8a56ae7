#include "guiding/guide_drive.h"

#include "core/host.h"
#include "core/program.h"
#include "scope/ao_unit.h"
#include "scope/drive_commands.h"

namespace kvr {

void guide_pulse(Program& p, char axis, char direction, int ms) {
    if (ms <= 0) return;
    p.guide.pulses.record({p.clock.ms(), axis, direction, ms, false});
    ScopeState& s = p.scope;
    s.slewdir = direction;
    s.slew_time = ms;
    p.host.beep();
    // drive_slew sends through the guide-interface box itself when that is the drive.
    drive_slew(p);
    p.host.beep();
}

void ao_move(Program& p, char axis, char direction, int steps) {
    if (steps <= 0) return;
    p.guide.pulses.record({p.clock.ms(), axis, direction, steps, true});
    ScopeState& s = p.scope;
    s.AOUnitslewdir = direction;
    s.AOUnitslew_time = steps;
    p.host.beep();
    AOUnit_slew(p);
    p.host.beep();
}

}  // namespace kvr
