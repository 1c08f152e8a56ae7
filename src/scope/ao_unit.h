#pragma once
// The adaptive-optics unit: a tip-tilt element moved in steps, which can pass "bump" commands on
// to the mount. Commands are seven ASCII characters (command letter, direction letter, five
// digits) sent over a camera serial port or the PC serial port, or, through the guide-interface
// box, a four-bit relay pattern held for a time. No answer is read.
//
// Routes by `AOUnitModeParallel` and `AOUnit_comport`: parallel → the box; `AOUnit_comport` 1
// (the guider dialog's "Ser 1") → camera serial port 1 (index 0); 0 ("Ser 2") → camera serial
// port 2 (index 1); 3 ("PC") → the PC serial port `PC_port`.
namespace kvr {

struct Program;

// Offsets beyond this many steps from centre are refused.
inline constexpr int kAoTravelLimit = 80;
// Beyond this offset the mount is bumped, at most once per kAoBumpIntervalMs.
inline constexpr int kAoBumpOffset = 50;
inline constexpr unsigned kAoBumpIntervalMs = 700;
// Relay patterns through the box (one of four bits low); idle all high.
inline constexpr unsigned char kAoRelayEast = 7, kAoRelayNorth = 11, kAoRelaySouth = 13,
                               kAoRelayWest = 14, kAoRelayIdle = 15;
inline constexpr int kAoCommandChars = 7;

// Camera serial port index of a serial `AOUnit_comport` value (1 → 0, anything else → 1).
int ao_camera_port(int AOUnit_comport);

// Sends the first `AOchars` bytes of `AOUnitcommand` by the configured route (camera and PC
// ports then wait 50 ms; the PC port is opened on first use and nothing is sent while it cannot
// be).
void ao_unit_write(Program& p, int AOchars);
// One guiding move of `AOUnitslew_time` steps in `AOUnitslewdir`: refused beyond ±80 steps
// (`AOUnit_failed` 1, offsets unchanged), then a mount bump when an offset is beyond ±50. Through
// the box: the direction's relay pattern for `AOUnitslew_time` ms.
void ao_unit_slew(Program& p);
// One manual move: a mount move "M" + N/S/T/W + `AOUnitslew_time` (no limit, no bump); through
// the box as ao_unit_slew.
void ao_unit_move(Program& p);
// The first guide frame after a mount bump on the axis of `direction` asks the element for a
// move of `steps` there (the whole measured error, before any share is taken): from it the image
// shift of a bump is learned for the bump compensation (`AOUnit_bump_compensate`).
void ao_unit_bump_seen(Program& p, char direction, int steps);
// Moves the element back by the accumulated offsets (through the box: the byte 0).
void ao_unit_reset(Program& p);
// GuiderDialog::centralise_ao_unit: "K" (through the box: 15, 100 ms, 0); offsets zeroed.
void centralise_ao_unit(Program& p);

}  // namespace kvr
