#pragma once
// Picking the guide star and placing the focus (guide) sub-frame with the mouse on the main
// image: commands 21 "Pick Guide Star" and 25 "Focus Frame Centre", and the left-button release in
// those two modes.
namespace kvr {

struct Program;

void pick_guide_star(Program& p);
void centre_focus_frame(Program& p);

// A click at picture point (x, y) too near the edge for the measuring box: within `cur_rad` (plus
// 3 in pick mode) of the picture's edges, 563 × 434 at 150 %.
bool outside_margin(const Program& p, int x, int y);
// Moves image point (x, y) onto the star's centroid, three passes. False when a centroid fails
// (`picked_star` cleared; the centroid showed its message).
bool snap_to_star(Program& p, int& x, int& y);

// Left-button release at window position (x, y) (the scroll origin is added here). Handles the
// click and returns true in pick or focus mode; false when neither mode is on.
bool pick_or_focus_click(Program& p, int x, int y);

}  // namespace kvr
