#include "core/waits.h"

#include <algorithm>

#include "core/messages.h"
#include "core/program.h"

namespace kvr {

namespace {

// Whether the press seen by this pass ends the wait at once.
bool look_at_presses(Program& p, WaitPresses presses, WaitOutcome& out) {
    switch (presses) {
        case WaitPresses::Unseen:
        case WaitPresses::Dropped:
            return false;
        case WaitPresses::Held:
            p.host.keep_alive();
            return false;
        case WaitPresses::StopRun:
            // The stop logic ends the wait through `endticks`.
            if (clear_messages(p)) out.stopped = true;
            return false;
        case WaitPresses::EndWait:
            if (!p.host.pump()) return false;
            p.host.beep();
            out.stopped = true;
            return true;
    }
    return false;
}

}  // namespace

WaitOutcome timed_wait(Program& p, uint32_t& ticks, uint32_t& endticks, const WaitOptions& o) {
    WaitOutcome out;
    const bool timed_clears = o.clear && o.clear_every_ms > 0;
    uint32_t next_clear = ticks + o.clear_every_ms;
    uint32_t next_step = ticks + o.step_ms;
    bool beep_pending = o.beep_at.has_value();
    while (before(ticks, endticks)) {
        const uint32_t pass_start = p.clock.ms();
        if (o.each_pass) o.each_pass(p);
        if (beep_pending && reached(ticks, *o.beep_at) && !p.guide.selfguiding) {
            p.host.beep();
            beep_pending = false;
            out.beeped = true;
        }
        if (o.clear && (!timed_clears || reached(ticks, next_clear))) {
            next_clear = ticks + o.clear_every_ms;
            if (!o.clear(p)) {
                out.failed = true;
                return out;
            }
        }
        if (o.step_ms > 0 && reached(ticks, next_step)) {
            p.shell.progress += kProgressMax / std::max(1, o.steps);
            next_step += o.step_ms;
            if (o.on_step) o.on_step(p);
        }
        if (look_at_presses(p, o.presses, out)) return out;
        const uint32_t now = p.clock.ms();
        // A pass whose step took time of its own (a guide frame) goes straight on to the next.
        if (before(now, endticks) && now == pass_start) {
            // Sleep to the next thing to do.
            uint32_t until = endticks;
            auto earlier = [&](bool wanted, uint32_t mark) {
                if (wanted && before(now, mark) && before(mark, until)) until = mark;
            };
            earlier(timed_clears, next_clear);
            earlier(o.step_ms > 0, next_step);
            earlier(beep_pending, o.beep_at.value_or(0));
            // Idle returns within a millisecond on the real clock; a blocking sleep of a wait that
            // pumps is cut into slices so that the window never waits longer.
            if (o.blocks && o.presses != WaitPresses::Unseen) earlier(true, now + kKeepAliveMs);
            if (o.blocks)
                p.clock.wait_until(until);
            else
                p.clock.idle(until);
        }
        if (o.presses == WaitPresses::Dropped) p.host.pump();
        ticks = p.clock.ms();
    }
    return out;
}

int one_sec_delay(Program& p, int seconds) {
    uint32_t ticks = p.clock.ms();
    uint32_t end = ticks + static_cast<uint32_t>(seconds) * 1000u;
    WaitOptions o;
    o.presses = WaitPresses::EndWait;
    return timed_wait(p, ticks, end, o).stopped ? 1 : 0;
}

}  // namespace kvr
