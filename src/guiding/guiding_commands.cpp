// Window commands of this subsystem.
#include "guiding/guiding_commands.h"

#include "core/program.h"
#include "guiding/guide_loop.h"
#include "guiding/training.h"

namespace kvr {

void register_guiding_commands(Program& p) {
    CommandTable& t = p.commands;
    t.attach(22, CmTrainGuide);
    t.attach(23, CmStartGuide);
    t.attach(889, GuideTelescope);
}

}  // namespace kvr
