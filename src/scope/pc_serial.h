#pragma once
// The PC serial port of the AO unit: opened once, on the first AO command routed to it, at
// 9600 baud, 8 data bits, no parity, one stop bit, DTR and RTS raised; it stays open.
//
// `PC_port` 0 … 6 (COM1 … COM7) names a device: the environment variable KVR_Q4_COM<n> (n =
// `PC_port` + 1) when set, else /dev/ttyUSB<PC_port> when it exists, else /dev/ttyS<PC_port>.
#include <string>

namespace kvr {

struct Program;

inline constexpr int kPcPorts = 7;
inline constexpr int kPcSerialBaud = 9600;
inline constexpr int kPcSerialDataBits = 8;
inline constexpr int kPcSerialStopBits = 1;
// Reply room of a read, and how long a read waits for its reply.
inline constexpr int kPcSerialReplyBytes = 50;
inline constexpr unsigned kPcSerialReadTimeoutMs = 500;

// The device of PC port index `port` (0-based), or "" when the index is outside 0 … 6.
std::string pc_port_device(int port);

// Opens and configures the port of `PC_port`: 1 on success, 0 on failure. A failure shows the
// error code ("ERROR %d ") and then "Open Communications Failed" (message 50) and leaves the port
// closed.
int pc_serial_check(Program& p);
// Sends the first `AOchars` bytes of `AOUnitcommand`, then waits past the next millisecond and
// 10 ms more.
void pc_serial_write(Program& p, int AOchars);
// Reads one reply (at most 50 bytes, at most 500 ms) into `ReportBuffer`, terminated, then
// discards whatever else has arrived.
void pc_serial_read(Program& p);
void pc_serial_close(Program& p);
// A non-negative code is passed through; a negative one shows "ERROR %d " (message 50), closes
// the port so that the next AO command opens it afresh (`PC_Serial_check` 0) and gives −1.
int pc_serial_error_check(Program& p, int code);

}  // namespace kvr
