// Window commands of this subsystem.
#include "scope/scope_commands.h"

#include "core/program.h"

namespace kvr {

void register_scope_commands(Program& p) {
    (void)p;
}

}  // namespace kvr
