// Window commands of this subsystem.
#include "app/program.h"
#include "app/subsystems.h"

namespace kvr {

void register_files_commands(Program& p) {
    (void)p;
}

}  // namespace kvr
