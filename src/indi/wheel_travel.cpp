#include "indi/wheel_travel.h"

#include "core/waits.h"

namespace kvr::indi {

uint32_t WheelTravel::turn(int from, int to, uint32_t now_ms) {
    const uint32_t start = arrival_ms(now_ms).value_or(now_ms);
    const int slots = ((to - from) % kPositions + kPositions) % kPositions;
    arrival_ = start + static_cast<uint32_t>(slots) * kMsPerSlot;
    return *arrival_;
}

std::optional<uint32_t> WheelTravel::arrival_ms(uint32_t now_ms) const {
    if (arrival_ && before(now_ms, *arrival_)) return arrival_;
    return std::nullopt;
}

}  // namespace kvr::indi
