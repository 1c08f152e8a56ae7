#pragma once
namespace kvr {

struct Program;

// Caption of the main frame: application name + " - " + FileName.
void set_main_caption(Program& p, const char* name);
// The window is built before it has a frame to caption: the name is recorded as "(Untitled)" and
// the caption is the application name alone until the first picture is shown.
void set_startup_caption(Program& p);

}  // namespace kvr
