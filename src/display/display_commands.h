#pragma once
// Window commands of the display choices: fit, camera geometry, enlargement, palettes and the
// display stretch.
namespace kvr {

struct Program;

void CmFit(Program& p);
void CmGeo(Program& p);
void CmBig(Program& p);
void CmColPal(Program& p);
void CmStretchPal(Program& p);
// Toggles the display stretch and swaps its tool-bar button.
void CmMaxStretchToggle(Program& p);
void CmStretchPaint(Program& p);

void register_display_commands(Program& p);

}  // namespace kvr
