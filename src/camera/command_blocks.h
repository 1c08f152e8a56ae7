#pragma once
// The camera's non-readout commands: sensor clears, the start-of-exposure echo, the model query,
// the guide relays and the pass-through to the camera's serial ports. Every command zero-fills
// the 64-byte `camdata`, writes its header and parameters (layout in camera/camera_protocol.h),
// sends exactly its bytes and, when the command has a reply, receives exactly the reply's bytes
// into `ReportBuffer`.
//
// Every operation returns false when a transfer failed (already reported to the user by the
// link); a reply that did not arrive is never interpreted, so the state it would set keeps its
// old value. A command whose send failed is not waited on for a reply.
#include <cstddef>
#include <cstdint>

#include "camera/camera_protocol.h"

namespace kvr {

struct Program;

// Zero-fills `camdata`, writes the 8-byte header and returns `camdata` for the parameters.
uint8_t* begin_command(Program& p, uint8_t request_type, uint8_t command, uint16_t value,
                       uint16_t index, uint16_t length);
// Sends the first `bytes` of `camdata` (sets `ByteCount`).
bool send_command(Program& p, size_t bytes);
// Receives a reply of exactly `bytes` into `ReportBuffer` (sets `ByteCount`).
bool receive_reply(Program& p, size_t bytes);

// Sends a read command for `request`: camera-timed (command 2, the camera waits the low 16 bits
// of `request.delay_ms`, then reads) or at once (command 3, no delay field).
bool send_read_command(Program& p, const ReadRequest& request, bool camera_timed);

// Clears the sensor of camera head `head` (kHeadMain, kHeadGuider): `flags` is
// kClearVerticalRegisters or kClearWholeSensor.
bool clear_sensor(Program& p, uint16_t head, uint16_t flags);
// Main camera: clear the vertical registers only / the whole sensor.
bool clear_vertical(Program& p);
bool wiper(Program& p);
// Echo: one zero parameter byte out, one byte back (ignored).
bool echo_ccd(Program& p);
// Camera model into `camtype`.
bool get_ccd_type(Program& p);
// Guide relays: the bit mask goes in the value field (mount box directions, AO unit steps).
bool send_guide_relays(Program& p, uint8_t relay_bits);

// Camera serial pass-through. write_serial sends the text's first `length` characters (low byte
// of `length`, the text stops at its terminator) to camera port `port` (low byte); more than
// fits one command block (56 characters) is refused with a message and nothing is sent.
bool write_serial(Program& p, int port, const char* text, int length);
// Asks port `port` for `count` (0 … 65535) bytes into `ReportBuffer`; a 33-byte answer also
// becomes `move_error` (the text up to its first '#').
bool read_serial(Program& p, int port, int count);
// Reads the mount's one-byte status: "0" empties `scope_error`; anything else fetches the 33-byte
// answer into `scope_error`.
bool check_serial_return(Program& p, int port);
// Reads one byte, left in `ReportBuffer[0]` for the caller.
bool read_serial_return(Program& p, int port);

// Builders of commands the program itself never sends: reset, set/get the sensor parameters,
// status of the serial port `slewport`. get_ccd leaves its 16-byte reply in `ReportBuffer`.
bool reset_ccd(Program& p);
bool set_ccd(Program& p);
bool get_ccd(Program& p);
bool get_serial(Program& p);

}  // namespace kvr
