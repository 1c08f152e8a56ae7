#pragma once
// The PC serial port on POSIX termios. Works on real serial devices and on pseudo-terminals
// (which have no modem-control lines: raising DTR or RTS on them succeeds with nothing to do).
// The descriptor is non-blocking; writes and reads wait with poll() up to their time bounds.
#include "core/serial_port.h"

namespace kvr {

class TermiosSerialPort : public SerialPort {
  public:
    TermiosSerialPort() = default;
    ~TermiosSerialPort() override;
    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    int open(const std::string& device) override;
    int set_baud(int bits_per_second) override;
    int set_format(int data_bits, Parity parity, int stop_bits) override;
    int set_dtr(bool raised) override;
    int set_rts(bool raised) override;
    int write(const uint8_t* bytes, size_t count, uint32_t timeout_ms) override;
    int read(uint8_t* out, size_t capacity, uint32_t timeout_ms) override;
    int discard_input() override;
    void close() override;
    bool is_open() const override { return fd_ >= 0; }

  private:
    int set_modem_line(int line, bool raised);
    int fd_ = -1;
};

}  // namespace kvr
