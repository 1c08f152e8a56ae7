#pragma once
#include <memory>
#include <string>

#include "core/program.h"

namespace kvr {

// Creates the program as the application's start-up does: pointers at their buffers, geometry
// from `binned`, the test image written, every command registered.
std::unique_ptr<Program> make_program(Clock& clock, Host& host, std::string drive_root);

// What the main window's construction does after the program state exists (loading the
// settings file, the first caption). Both front ends call it once.
void start_up(Program& p);
// The program's help page (installed beside the executable, or in the source tree).
std::string help_file_path();
}  // namespace kvr
