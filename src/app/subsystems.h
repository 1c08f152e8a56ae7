#pragma once
// Start-up attaches every subsystem's window commands.
#include "acquire/acquire_commands.h"
#include "camera/camera_commands.h"
#include "display/bmp_export_commands.h"
#include "display/display_commands.h"
#include "files/files_commands.h"
#include "guiding/guiding_commands.h"
#include "imaging/imaging_commands.h"
#include "scope/scope_commands.h"

namespace kvr {

struct Program;

void register_shell_commands(Program& p);

inline void register_all_commands(Program& p) {
    register_shell_commands(p);
    register_camera_commands(p);
    register_acquire_commands(p);
    register_display_commands(p);
    register_export_commands(p);
    register_imaging_commands(p);
    register_files_commands(p);
    register_guiding_commands(p);
    register_scope_commands(p);
}

}  // namespace kvr
