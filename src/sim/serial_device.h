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
    // A device that answers after a delay appends, at `at_ms`, the answers due by then. Whoever
    // carries its bytes calls this before reading the line and before each write.
    virtual void deliver(int64_t at_ms, std::string& reply) {
        (void)at_ms;
        (void)reply;
    }
    // Whether answers are still to come (the carrier then looks again soon).
    virtual bool answers_pending() const { return false; }
};

}  // namespace kvr::sim
