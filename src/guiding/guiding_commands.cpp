// Window commands of this subsystem.
#include "guiding/guiding_commands.h"

#include "core/program.h"

namespace kvr {

void register_guiding_commands(Program& p) {
    (void)p;
}

}  // namespace kvr
