#pragma once
// The link checks of the two telescope drives. The mount is reached through a camera serial
// port and the guide-interface box through the camera's relays, so there is nothing to open:
// the checks only choose the camera port.
namespace kvr {

struct Program;

// LX200 drive: `Port` from `slewcom` (0 for '1', else 1). Always succeeds (1).
int drive_check(Program& p);
// Guide-interface box: the same port choice. Always succeeds (1).
int interface_check(Program& p);
// Hooks called when guiding starts and ends; neither drive needs anything done.
void interface_cr(Program& p);
void close_drive(Program& p);

}  // namespace kvr
