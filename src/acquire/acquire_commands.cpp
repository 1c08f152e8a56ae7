// Window commands of this subsystem.
#include "acquire/acquire_commands.h"

#include "acquire/sequencer.h"
#include "acquire/telescope_check.h"
#include "core/program.h"

namespace kvr {

void register_acquire_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        // A second camera run cannot start inside a running one (its waits let commands through).
        {Cmd::CameraControl, "KV_Control", KV_Control, "KVR Q4 Camera &Interface\tCTL+Z", "Ctrl+Z",
         1000, "Main Camera Control", [](const Program& q) { return !q.run.running; }},
        {Cmd::TelescopeControl, "CmControl", CmControl, "Telescope &Control", "", 24,
         "Control a LX200 telescope or Autoguider port"},
    };
    p.commands.add(kRows);
    p.show_image = CmShowImage;
    p.telescope_link_check = comm_check;
}

}  // namespace kvr
