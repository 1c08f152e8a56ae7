#include <algorithm>

#include "core/clock.h"

namespace kvr {

namespace {
// Signed distance so that comparisons survive the 32-bit wrap.
int32_t ahead(uint32_t t, uint32_t now) {
    return static_cast<int32_t>(t - now);
}
}  // namespace

void VirtualClock::wait_until(uint32_t until_ms) {
    if (ahead(until_ms, now_) > 0) now_ = until_ms;
}

void VirtualClock::idle(uint32_t until_ms) {
    uint32_t target = until_ms;
    for (uint32_t w : wakeups_) {
        if (ahead(w, now_) > 0 && ahead(w, target) < 0) target = w;
    }
    std::erase_if(wakeups_, [&](uint32_t w) { return ahead(w, target) <= 0; });
    // A loop that polls past its end still makes progress.
    now_ = ahead(target, now_) > 0 ? target : now_ + 1;
}

}  // namespace kvr
