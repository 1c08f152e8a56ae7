#pragma once
// A simulated device at the end of a serial line (a camera pass-through port or a
// pseudo-terminal): it takes the bytes the host sends and answers with bytes of its own.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvr::sim {

class SerialDevice {
  public:
    virtual ~SerialDevice() = default;
    // `count` bytes arrive at `at_ms` (the simulator's timeline); whatever the device answers
    // is appended to `reply`.
    virtual void receive(const uint8_t* bytes, size_t count, int64_t at_ms, std::string& reply) = 0;
};

}  // namespace kvr::sim
