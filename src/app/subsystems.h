#pragma once
// Each subsystem attaches the handlers of its window commands here.
namespace kvr {

struct Program;

void register_shell_commands(Program& p);
void register_camera_commands(Program& p);
void register_acquire_commands(Program& p);
void register_imaging_commands(Program& p);
void register_files_commands(Program& p);
void register_guiding_commands(Program& p);
void register_scope_commands(Program& p);
void register_star_pick_commands(Program& p);

inline void register_all_commands(Program& p) {
    register_shell_commands(p);
    register_camera_commands(p);
    register_acquire_commands(p);
    register_imaging_commands(p);
    register_files_commands(p);
    register_guiding_commands(p);
    register_scope_commands(p);
    register_star_pick_commands(p);
}

// Closes the camera link if it is open (cmExit does this before the window goes).
void close_camera_link(Program& p);

}  // namespace kvr
