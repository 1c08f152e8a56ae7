#pragma once
// Time seam. All timing in the program reads this clock, so a virtual clock can run a night of
// exposures in microseconds and the simulator stays consistent with the sequencer.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <vector>

namespace kvr {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds of the system timer (wraps at 2^32 like the platform's millisecond timer).
    virtual uint32_t ms() = 0;
    // Calendar time in seconds since the epoch (UTC).
    virtual std::time_t calendar_time() = 0;
    // Blocks without pumping events until ms() has reached `until_ms` (a device wait, a guide
    // pulse). Returns at once when the time has passed.
    virtual void wait_until(uint32_t until_ms) = 0;
    // Called once per iteration of a polling loop that waits for `until_ms`: the real clock gives
    // the processor away briefly; the virtual clock jumps ahead to `until_ms` or to the next
    // scheduled wake-up, whichever is earlier, so scheduled events are seen in order.
    virtual void idle(uint32_t until_ms) = 0;
    // Convenience: wait `duration_ms` from now without pumping.
    void sleep_ms(uint32_t duration_ms) { wait_until(ms() + duration_ms); }
};

// Advances only when something waits. Starts at 0 ms; the calendar starts at a fixed instant.
// Reading it is safe from any thread (a simulated device serving a pseudo-terminal reads it);
// only the thread that owns it moves it on.
class VirtualClock : public Clock {
  public:
    explicit VirtualClock(std::time_t epoch = 1798761600 /* 2027-01-01T00:00:00Z */)
        : epoch_(epoch) {}
    uint32_t ms() override { return now_; }
    std::time_t calendar_time() override {
        return epoch_ + static_cast<std::time_t>(now_.load() / 1000);
    }
    void wait_until(uint32_t until_ms) override;
    void idle(uint32_t until_ms) override;
    // Makes idle() stop at `at_ms` so that an event scheduled then (a key press) is seen.
    void schedule_wakeup(uint32_t at_ms) { wakeups_.push_back(at_ms); }
    void advance(uint32_t duration_ms) { now_ += duration_ms; }
    void set_epoch(std::time_t epoch) { epoch_ = epoch; }

  private:
    std::time_t epoch_;
    std::atomic<uint32_t> now_ = 0;
    std::vector<uint32_t> wakeups_;
};

}  // namespace kvr
