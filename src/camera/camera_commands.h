#pragma once
// The window commands of the camera link.
namespace kvr {

struct Program;

// Attaches the handlers of this subsystem's window commands.
void register_camera_commands(Program& p);
// Closes the camera link if it is open (exit_program does this before the window goes).
void close_camera_link(Program& p);

}  // namespace kvr
