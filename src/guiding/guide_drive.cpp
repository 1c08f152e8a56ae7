#include "guiding/guide_drive.h"

#include "core/host.h"
#include "core/program.h"
#include "guiding/guide_graph.h"
#include "guiding/guide_log.h"
#include "scope/ao_unit.h"
#include "scope/drive_commands.h"

namespace kvr {

namespace {

// Records the correction, then sends it between the two beeps that mark a correction.
void send_correction(Program& p, const GuidePulse& pulse, void (*send)(Program&)) {
    p.guide.pulses.record(pulse);
    guide_log_correction(p, pulse.direction, pulse.length, pulse.ao);
    p.host.beep();
    send(p);
    p.host.beep();
    guide_graph_follow(p);
}

}  // namespace

void guide_pulse(Program& p, char axis, char direction, int ms) {
    if (ms <= 0) return;
    p.scope.slewdir = direction;
    p.scope.slew_time = ms;
    // drive_slew sends through the guide-interface box itself when that is the drive.
    send_correction(p, {p.clock.ms(), axis, direction, ms, false}, drive_slew);
}

void ao_move(Program& p, char axis, char direction, int steps) {
    if (steps <= 0) return;
    p.scope.AOUnitslewdir = direction;
    p.scope.AOUnitslew_time = steps;
    send_correction(p, {p.clock.ms(), axis, direction, steps, true}, ao_unit_slew);
}

}  // namespace kvr
