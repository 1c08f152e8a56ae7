// Window commands of this subsystem.
#include "app/program.h"
#include "app/subsystems.h"

namespace kvr {

void register_camera_commands(Program& p) {
    (void)p;
}

}  // namespace kvr

namespace kvr {

// No link is kept open by this build yet.
void close_camera_link(Program& p) {
    (void)p;
}

}  // namespace kvr
