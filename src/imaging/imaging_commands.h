#pragma once
// The window commands of image processing.
namespace kvr {

struct Program;

// Attaches the handlers of this subsystem's window commands.
void register_imaging_commands(Program& p);

}  // namespace kvr
