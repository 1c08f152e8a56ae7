// Window commands of this subsystem.
#include "camera/camera_commands.h"

#include "camera/usb_link.h"
#include "core/program.h"

namespace kvr {

void register_camera_commands(Program& p) {
    (void)p;
}

}  // namespace kvr

namespace kvr {

void close_camera_link(Program& p) {
    close_usb_device(p);
}

}  // namespace kvr
