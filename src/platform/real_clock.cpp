#include "platform/real_clock.h"

#include <thread>

namespace kvr {

RealClock::RealClock(std::optional<std::time_t> calendar_start)
    : start_(std::chrono::steady_clock::now()), calendar_start_(calendar_start) {}

uint32_t RealClock::ms() {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

std::time_t RealClock::calendar_time() {
    if (calendar_start_) {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        return *calendar_start_ +
               static_cast<std::time_t>(
                   std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    }
    return std::time(nullptr);
}

void RealClock::wait_until(uint32_t until_ms) {
    // Busy-wait semantics without burning a core: sleep in short slices and re-check.
    while (static_cast<int32_t>(until_ms - ms()) > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void RealClock::idle(uint32_t until_ms) {
    const int32_t left = static_cast<int32_t>(until_ms - ms());
    if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(left > 1 ? 1 : left));
}

}  // namespace kvr
