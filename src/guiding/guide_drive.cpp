#include "guiding/guide_drive.h"

#include "app/host.h"
#include "app/program.h"

namespace kvr {

void guide_pulse(Program& p, char axis, char direction, int ms) {
    if (ms <= 0) return;
    p.guide.pulses.record({p.clock.ms(), axis, direction, ms, false});
    p.host.beep();
    // The drive's pulse blocks the thread for its length.
    p.clock.sleep_ms(static_cast<uint32_t>(ms));
    p.host.beep();
}

void ao_move(Program& p, char axis, char direction, int steps) {
    if (steps <= 0) return;
    p.guide.pulses.record({p.clock.ms(), axis, direction, steps, true});
    p.host.beep();
    p.host.beep();
}

}  // namespace kvr
