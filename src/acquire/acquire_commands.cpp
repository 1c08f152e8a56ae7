// Window commands of this subsystem.
#include "acquire/acquire_commands.h"

#include "acquire/sequencer.h"
#include "acquire/telescope_check.h"
#include "core/program.h"

namespace kvr {

namespace {

constexpr int kCmKvControl = 12;
constexpr int kCmControl = 24;

}  // namespace

void register_acquire_commands(Program& p) {
    // A second camera run cannot start inside a running one (its waits let commands through).
    p.commands.attach(kCmKvControl, KV_Control, [](const Program& q) { return !q.run.running; });
    p.commands.attach(kCmControl, CmControl);
    p.show_image = CmShowImage;
    p.telescope_link_check = comm_check;
}

}  // namespace kvr
