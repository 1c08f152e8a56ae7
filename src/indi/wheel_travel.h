#pragma once
// The filter wheel answers nothing: the driver knows it has arrived only from its travel time.
// It turns one way round through its eight positions, 800 ms a slot, and takes up a command
// sent while it turns when that turn ends.
#include <cstdint>
#include <optional>

namespace kvr::indi {

class WheelTravel {
  public:
    static constexpr uint32_t kMsPerSlot = 800;
    static constexpr int kPositions = 8;

    // A turn from slot `from` to slot `to` (1 … 8) commanded at `now_ms`: when it ends.
    uint32_t turn(int from, int to, uint32_t now_ms);
    // When the wheel stops, while it may still be turning at `now_ms`.
    std::optional<uint32_t> arrival_ms(uint32_t now_ms) const;

  private:
    std::optional<uint32_t> arrival_;
};

}  // namespace kvr::indi
