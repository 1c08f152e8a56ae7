#pragma once
#include <string>

namespace kvr {

struct Program;

// What the main window's construction does after the program state exists (loading the
// settings file, the first caption). Both front ends call it once.
void start_up(Program& p);
// The program's help page (installed beside the executable, or in the source tree).
std::string help_file_path();
// Caption of the main frame: application name + " - " + FileName.
void SetCaption(Program& p, const char* name);

}  // namespace kvr
