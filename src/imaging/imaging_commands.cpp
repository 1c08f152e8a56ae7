// Window commands of this subsystem.
#include "imaging/imaging_commands.h"

#include "core/program.h"
#include "imaging/processing_commands.h"

namespace kvr {

void register_imaging_commands(Program& p) {
    register_processing_commands(p);
}

}  // namespace kvr
