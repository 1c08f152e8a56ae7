#pragma once
// The PC serial port seam. The real port is POSIX termios (platform/termios_serial_port.h); tests
// use a pseudo-terminal pair or a fake.
//
// Contract: every operation runs on the caller's thread and returns a result code: 0 (or a byte
// count) on success, a negative error code (a negated errno value) on failure. No operation
// blocks longer than the bound it states, so a device that never answers cannot hang the
// program. Operations on a port that is not open fail with -EBADF and touch nothing.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvr {

enum class Parity { None, Odd, Even };

class SerialPort {
  public:
    virtual ~SerialPort() = default;
    // Opens `device` for reading and writing (not as the controlling terminal) and leaves its
    // line settings as the system had them. Fails when the device does not exist, cannot be
    // opened or is not a terminal; a port already open is closed first. Returns at once.
    virtual int open(const std::string& device) = 0;
    // Line speed in bits per second; a speed the system has no code for fails with -EINVAL.
    virtual int set_baud(int bits_per_second) = 0;
    // Character format and raw mode: `data_bits` 5 … 8, parity, `stop_bits` 1 or 2; no echo,
    // no line editing, no translation of characters, receiver on, modem status ignored.
    virtual int set_format(int data_bits, Parity parity, int stop_bits) = 0;
    // Raises or lowers the DTR / RTS output line. A device without modem-control lines (a
    // pseudo-terminal) has nothing to raise: that succeeds.
    virtual int set_dtr(bool raised) = 0;
    virtual int set_rts(bool raised) = 0;
    // Hands `count` bytes to the line. Returns `count`, or -ETIMEDOUT when the line would not
    // take them all within `timeout_ms` (bytes already taken stay sent).
    virtual int write(const uint8_t* bytes, size_t count, uint32_t timeout_ms) = 0;
    // Reads one reply: waits at most `timeout_ms` in all, and stops early after a line end
    // ('\r', '\n' or '#', kept in `out`) or when `capacity` bytes have come. Returns the count
    // (0 when nothing came in time).
    virtual int read(uint8_t* out, size_t capacity, uint32_t timeout_ms) = 0;
    // Drops everything received and not yet read. Returns at once.
    virtual int discard_input() = 0;
    // Releases the device; a port that is not open stays closed.
    virtual void close() = 0;
    virtual bool is_open() const = 0;
};

}  // namespace kvr
