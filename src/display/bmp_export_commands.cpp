#include "display/bmp_export_commands.h"

#include "core/program.h"
#include "display/display.h"

namespace kvr {

namespace {

// The print program is not part of this program: only its command lines are fixed.
constexpr const char* kPrintCommand = "QIMPRINT.EXE PRINT c:\\kvr_q4.bmp";
constexpr const char* kPrintSetupCommand = "QIMPRINT.EXE SETUP";

}  // namespace

void CmCopy(Program& p) {
    const std::optional<DisplayBitmap> picture = window_bitmap(p);
    if (picture) p.host.copy_image(*picture);
}

bool CeCopy(const Program& p) {
    return window_bitmap(p).has_value();
}

// Neither reports anything when the print program cannot be started.
void CmPrint(Program& p) {
    p.host.start_program(kPrintCommand);
}
void CmPrintSetup(Program& p) {
    p.host.start_program(kPrintSetupCommand);
}

void register_export_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        {Cmd::Copy, "CmCopy", CmCopy, "&Copy", "Shift+Ins", 0, "", CeCopy},
        {Cmd::Print, "CmPrint", CmPrint, "&Print..."},
        {Cmd::PrintSetup, "CmPrintSetup", CmPrintSetup, "P&rint setup..."},
    };
    p.commands.add(kRows);
}

}  // namespace kvr
