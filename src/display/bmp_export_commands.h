#pragma once
// Window commands that hand the display picture on: clipboard copy, printing through the external
// print program.
namespace kvr {

struct Program;

// Copies the window's picture with its colours to the clipboard.
void copy_to_clipboard(Program& p);
// Enabled while the window has a picture.
bool can_copy(const Program& p);
void print_picture(Program& p);
void print_setup(Program& p);

void register_export_commands(Program& p);

}  // namespace kvr
