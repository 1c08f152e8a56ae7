#pragma once
// A real serial device or pseudo-terminal standing in for a simulated accessory on a camera
// serial port (--sim-serial N=PATH): raw bytes at 9600 baud, 8 data bits, no parity, one stop
// bit. A write first drops whatever the line had received and not been read, as the simulated
// ports do; a read waits a short while for the bytes and gives zeros for those that did not
// come, so a silent device never blocks the camera.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kvr::sim {

class SerialLine {
  public:
    // Longest a read waits for its bytes, real milliseconds.
    static constexpr int kReadWaitMs = 100;

    // Nothing and a message in `error` when the device cannot be opened or set up.
    static std::unique_ptr<SerialLine> open(const std::string& path, std::string& error);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    void write(const uint8_t* bytes, size_t count);
    // Fills `out` with up to `count` bytes; returns how many came.
    size_t read(uint8_t* out, size_t count);

  private:
    explicit SerialLine(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace kvr::sim
