#pragma once
// Window commands that hand the display picture on: clipboard copy, printing through the external
// print program.
namespace kvr {

struct Program;

// Copies the window's picture with its colours to the clipboard.
void CmCopy(Program& p);
// Enabled while the window has a picture.
bool CeCopy(const Program& p);
void CmPrint(Program& p);
void CmPrintSetup(Program& p);

void register_export_commands(Program& p);

}  // namespace kvr
