#pragma once
// Window commands that hand the display picture on: clipboard copy, printing through the external
// print program, and TIFF export.
namespace kvr {

struct Program;

// Copies the window's picture with its colours to the clipboard.
void CmCopy(Program& p);
// Enabled while the window has a picture.
bool CeCopy(const Program& p);
void CmPrint(Program& p);
void CmPrintSetup(Program& p);
// "Save as Tiff file...": the save dialog, then SaveTifFile (message 22 on failure).
void CmTifSave(Program& p);

void register_export_commands(Program& p);

}  // namespace kvr
