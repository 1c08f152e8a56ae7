// Window commands of this subsystem.
#include "app/program.h"
#include "app/subsystems.h"
#include "files/bmp_export_commands.h"
#include "imaging/display_commands.h"
#include "imaging/measure_commands.h"
#include "imaging/processing_commands.h"

namespace kvr {

void register_imaging_commands(Program& p) {
    register_display_commands(p);
    register_export_commands(p);
    register_processing_commands(p);
    register_measure_commands(p);
}

}  // namespace kvr
