#pragma once
// The window commands of guiding.
namespace kvr {

struct Program;

// Attaches the handlers of this subsystem's window commands.
void register_guiding_commands(Program& p);

}  // namespace kvr
