#pragma once
// Picking the guide star and placing the focus (guide) sub-frame with the mouse on the main
// image: commands 21 "Pick Guide Star" and 25 "Focus Frame Centre", and the left-button release in
// those two modes.
namespace kvr {

struct Program;

void CmPickStar(Program& p);
void CmFocusFrame(Program& p);

// Left-button release at window position (x, y) (the scroll origin is added here). Handles the
// click and returns true in pick or focus mode; false when neither mode is on.
bool pick_or_focus_click(Program& p, int x, int y);

}  // namespace kvr
