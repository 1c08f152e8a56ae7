#pragma once
// The window commands of image and settings files.
namespace kvr {

struct Program;

// Attaches the handlers of this subsystem's window commands.
void register_files_commands(Program& p);

}  // namespace kvr
