#pragma once
// The window commands of the telescope.
namespace kvr {

struct Program;

// Attaches the handlers of this subsystem's window commands.
void register_scope_commands(Program& p);

}  // namespace kvr
