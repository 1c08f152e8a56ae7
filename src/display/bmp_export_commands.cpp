#include "display/bmp_export_commands.h"

#include "core/program.h"
#include "display/display.h"

namespace kvr {

namespace {

// The print program is not part of this program: only its command lines are fixed.
constexpr const char* kPrintCommand = "QIMPRINT.EXE PRINT c:\\kvr_q4.bmp";
constexpr const char* kPrintSetupCommand = "QIMPRINT.EXE SETUP";

}  // namespace

void copy_to_clipboard(Program& p) {
    const std::optional<DisplayBitmap> picture = window_bitmap(p);
    if (picture) p.host.copy_image(*picture);
}

bool can_copy(const Program& p) {
    return window_bitmap(p).has_value();
}

// Neither reports anything when the print program cannot be started.
void print_picture(Program& p) {
    p.host.start_program(kPrintCommand);
}
void print_setup(Program& p) {
    p.host.start_program(kPrintSetupCommand);
}

void register_export_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        {Cmd::Copy, "copy_to_clipboard", copy_to_clipboard, "&Copy", "Shift+Ins", 0, "", can_copy},
        {Cmd::Print, "print_picture", print_picture, "&Print..."},
        {Cmd::PrintSetup, "print_setup", print_setup, "P&rint setup..."},
    };
    p.commands.add(kRows);
}

}  // namespace kvr
