// Window commands of this subsystem.
#include "app/program.h"
#include "app/subsystems.h"
#include "camera/usb_link.h"

namespace kvr {

void register_camera_commands(Program& p) {
    (void)p;
}

}  // namespace kvr

namespace kvr {

void close_camera_link(Program& p) {
    CloseUSBdevice(p);
}

}  // namespace kvr
