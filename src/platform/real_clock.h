#pragma once
#include <chrono>
#include <optional>

#include "core/clock.h"

namespace kvr {

class RealClock : public Clock {
  public:
    // The calendar runs from `calendar_start` (seconds since 1970 UTC) when given, else it is the
    // system's.
    explicit RealClock(std::optional<std::time_t> calendar_start = std::nullopt);
    uint32_t ms() override;
    std::time_t calendar_time() override;
    void wait_until(uint32_t until_ms) override;
    void idle(uint32_t until_ms) override;

  private:
    std::chrono::steady_clock::time_point start_;
    std::optional<std::time_t> calendar_start_;
};

}  // namespace kvr
