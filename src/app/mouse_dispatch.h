#pragma once
// Clicks and pointer moves on the main image, by the mode the user has set: the row of the row
// profile, a photometry measurement, the guide star, the focus sub-frame, or a merging mark.
// Positions arrive in window coordinates; the scroll origin is added here.
namespace kvr {

struct Program;

// Left-button release.
void left_button_up(Program& p, int x, int y);
// Right-button release: with photometry, a measurement snapped onto the star first.
void right_button_up(Program& p, int x, int y);
// Pointer moved: with photometry, the pixel under it into the "Cursor Position" fields.
void mouse_moved(Program& p, int x, int y);

// Installs the three handlers as the main image's mouse handlers.
void install_mouse_handlers(Program& p);

}  // namespace kvr
