#pragma once
// The simulated filter wheel on a camera serial port. It takes the four-byte command A5 01 n s
// (s the 8-bit sum of the first three) and turns to slot n (1 … 8), always the same way round,
// taking a while per slot; bytes that do not make a command are skipped. While it turns no
// light reaches the main sensor; in a slot, the slot's filter passes its share of the light.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/observatory_config.h"
#include "sim/serial_device.h"

namespace kvr::sim {

class FilterWheel : public SerialDevice {
  public:
    static constexpr int kSlots = 8;

    FilterWheel(const FilterWheelConfig& config, int64_t at_ms);

    void receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string& reply) override;
    // The slot the wheel stands at or turns towards, and when it gets there.
    int slot();
    int64_t arrival_ms();
    // The share of light passed on average over [start, end] (at `start` when they agree).
    double transmission(int64_t start_ms, int64_t end_ms);

  private:
    // From t0 on the wheel passes `share` of the light.
    struct Piece {
        int64_t t0 = 0;
        double share = 1;
    };
    void turn_to(int target, int64_t at_ms);

    std::mutex mutex_;
    FilterWheelConfig config_;
    int slot_;
    int64_t arrival_ms_;
    std::vector<Piece> pieces_;
    std::string pending_;
};

}  // namespace kvr::sim
