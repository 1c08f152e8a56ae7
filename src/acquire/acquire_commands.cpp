// Window commands of this subsystem.
#include "acquire/acquire_commands.h"

#include "acquire/sequencer.h"
#include "acquire/telescope_check.h"
#include "core/program.h"

namespace kvr {

void register_acquire_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        // A second camera run cannot start inside a running one (its waits let commands through).
        {Cmd::CameraControl, "camera_control", camera_control, "KVR Q4 Camera &Interface\tCTL+Z",
         "Ctrl+Z", 1000, "Main Camera Control", [](const Program& q) { return !q.run.running; }},
        {Cmd::TelescopeControl, "telescope_control", telescope_control, "Telescope &Control", "",
         24, "Control a LX200 telescope or Autoguider port"},
    };
    p.commands.add(kRows);
    p.show_image = record_and_show_frame;
    p.telescope_link_check = comm_check;
}

}  // namespace kvr
