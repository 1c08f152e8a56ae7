#pragma once
#include <chrono>

#include "core/clock.h"

namespace kvr {

class RealClock : public Clock {
  public:
    RealClock();
    uint32_t ms() override;
    std::time_t calendar_time() override;
    void wait_until(uint32_t until_ms) override;
    void idle(uint32_t until_ms) override;

  private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kvr
