#include "core/waits.h"

#include "core/program.h"

namespace kvr {

int one_sec_delay(Program& p, int seconds) {
    const uint32_t end = p.clock.ms() + static_cast<uint32_t>(seconds) * 1000u;
    while (static_cast<int32_t>(end - p.clock.ms()) > 0) {
        if (p.host.pump()) {
            p.host.beep();
            return 1;
        }
        p.clock.idle(end);
    }
    return 0;
}

}  // namespace kvr
