#pragma once
// Window commands of the display choices: fit, camera geometry, enlargement, palettes and the
// display stretch.
namespace kvr {

struct Program;

void fit_to_window(Program& p);
void toggle_camera_geometry(Program& p);
void enlarge(Program& p);
void toggle_false_colour(Program& p);
void auto_palette_stretch(Program& p);
// Toggles the display stretch and swaps its tool-bar button.
void toggle_max_stretch(Program& p);
void stretch_repaint(Program& p);

void register_display_commands(Program& p);

}  // namespace kvr
