#pragma once
// The one timed wait: exposures, pauses, countdowns and guide loops all wait through it, with
// options for what differs between them.
#include <cstdint>
#include <functional>
#include <optional>

namespace kvr {

struct Program;

// Wrap-safe comparisons of millisecond timer values.
inline bool before(uint32_t now, uint32_t mark) {
    return static_cast<int32_t>(mark - now) > 0;
}
inline bool reached(uint32_t now, uint32_t mark) {
    return !before(now, mark);
}

// What a key or mouse-button press does while waiting.
enum class WaitPresses {
    Unseen,   // events are not pumped: a press waits for the next stop detection
    StopRun,  // stop detection (clear_messages): the running acquisition or guide loop stops
    EndWait,  // the press beeps and ends this wait only
    Dropped,  // events are pumped after each sleep and a press is dropped (a script's `wait`)
    // The window is kept alive (Host::keep_alive every kKeepAliveMs) but a press that would stop a
    // loop stays queued for the next stop detection, as in a wait that does not pump (the guide
    // exposures).
    Held,
};

// Longest time a waiting loop goes without running the window's events, in ms.
constexpr uint32_t kKeepAliveMs = 20;

struct WaitOptions {
    WaitPresses presses = WaitPresses::StopRun;
    // Between passes the wait polls (Clock::idle, which stops at scheduled wake-ups); with
    // `blocks` it blocks as a device wait does (Clock::wait_until). A wait that pumps never
    // blocks for longer than kKeepAliveMs at a time.
    bool blocks = false;
    // Runs first in every pass (a guide loop's step). It may end the wait by setting `endticks`.
    // A pass in which it took time goes on at once, without sleeping.
    std::function<void(Program&)> each_pass;
    // The vertical clears: every `clear_every_ms` from the start, or every pass when 0. A false
    // return (a failed transfer) ends the wait as failed.
    std::function<bool(Program&)> clear;
    uint32_t clear_every_ms = 0;
    // Progress: every `step_ms` from the start, `progress` grows by kProgressMax / `steps`, then
    // `on_step` shows it. None when `step_ms` is 0.
    uint32_t step_ms = 0;
    int steps = 1;
    std::function<void(Program&)> on_step;
    // The first-field beep of an interlaced frame: once when this time is reached, unless
    // self-guiding.
    std::optional<uint32_t> beep_at;
};

struct WaitOutcome {
    bool stopped = false;  // a press stopped it
    bool failed = false;   // a clear failed
    bool beeped = false;   // the first-field beep sounded
};

// Waits until `endticks`, keeping `ticks` at the time of the current pass (`ticks` holds the
// start on entry). A stop ends the wait by setting `endticks` to `ticks`.
WaitOutcome timed_wait(Program& p, uint32_t& ticks, uint32_t& endticks, const WaitOptions& o);

// Waits `seconds` while pumping events; a key or mouse-button press beeps and ends the wait at
// once. Returns 1 when interrupted, 0 when the time ran out.
int one_sec_delay(Program& p, int seconds);

}  // namespace kvr
