#pragma once
// The window commands of camera runs.
namespace kvr {

struct Program;

// Attaches the handlers of this subsystem's window commands.
void register_acquire_commands(Program& p);

}  // namespace kvr
