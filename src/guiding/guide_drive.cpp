#include "guiding/guide_drive.h"

#include <initializer_list>

#include "core/host.h"
#include "core/program.h"
#include "guiding/guide_graph.h"
#include "guiding/guide_log.h"
#include "scope/ao_unit.h"
#include "scope/drive_commands.h"

namespace kvr {

namespace {

// Records the correction, then sends it between the two beeps that mark a correction.
template <typename Send>
void send_correction(Program& p, std::initializer_list<GuidePulse> pulses, Send send) {
    for (const GuidePulse& pulse : pulses) {
        p.guide.pulses.record(pulse);
        guide_log_correction(p, pulse.direction, pulse.length, pulse.ao);
    }
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
    send_correction(p, {{p.clock.ms(), axis, direction, ms, false}}, drive_slew);
}

void guide_pulses(Program& p, char ra_direction, int ra_ms, char dec_direction, int dec_ms) {
    if (p.scope.telescope == 'b' || ra_ms <= 0 || dec_ms <= 0) {
        guide_pulse(p, 'x', ra_direction, ra_ms);
        guide_pulse(p, 'y', dec_direction, dec_ms);
        return;
    }
    const uint32_t now = p.clock.ms();
    send_correction(
        p, {{now, 'x', ra_direction, ra_ms, false}, {now, 'y', dec_direction, dec_ms, false}},
        [&](Program& q) { drive_slew_pair(q, ra_direction, ra_ms, dec_direction, dec_ms); });
}

void ao_move(Program& p, char axis, char direction, int steps) {
    if (steps <= 0) return;
    p.scope.AOUnitslewdir = direction;
    p.scope.AOUnitslew_time = steps;
    send_correction(p, {{p.clock.ms(), axis, direction, steps, true}}, ao_unit_slew);
}

}  // namespace kvr
