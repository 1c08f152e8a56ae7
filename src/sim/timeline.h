#pragma once
// The simulator's view of the shared clock: milliseconds that do not wrap. Every simulated
// device keeps its own copy, made from the sky's, so that all of them count from the same
// start and agree on every moment (a copy is not shared between threads).
#include <cstdint>

#include "core/clock.h"

namespace kvr::sim {

class Timeline {
  public:
    explicit Timeline(Clock& clock)
        : clock_(&clock), last_clock_ms_(clock.ms()), now_ms_(last_clock_ms_) {}

    // Milliseconds of the shared clock, unwrapped: starts at the clock's reading when the first
    // timeline was made and never wraps (callers ask at least once per 49 days).
    int64_t now_ms() {
        const uint32_t ms = clock_->ms();
        now_ms_ += static_cast<uint32_t>(ms - last_clock_ms_);
        last_clock_ms_ = ms;
        return now_ms_;
    }
    // Blocks on the shared clock until now_ms() reaches `ms`.
    void wait_until(int64_t ms) {
        const int64_t now = now_ms();
        if (ms <= now) return;
        clock_->wait_until(static_cast<uint32_t>(last_clock_ms_ + static_cast<uint64_t>(ms - now)));
        now_ms();
    }
    Clock& clock() const { return *clock_; }

  private:
    Clock* clock_;
    uint32_t last_clock_ms_;
    int64_t now_ms_;
};

}  // namespace kvr::sim
