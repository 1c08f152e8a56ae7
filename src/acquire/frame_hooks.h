#pragma once
// The calls a finished frame makes into the display and the automatic save. The display issue
// fills display_refresh (image_prepare) and focus_frame_display (DisplayImage and write_bmp);
// the auto-save issue fills auto_save_frame (CmSaveAsFits). Until then each call is counted in
// `run.hooks` and does nothing else.
namespace kvr {

struct Program;

// Rebuilds the window's picture from `image` (image_prepare).
void display_refresh(Program& p);
// Saves the frame as the next numbered FITS file of the auto-save series (CmSaveAsFits).
void auto_save_frame(Program& p);
// Shows the focus window just read and writes the scratch bitmap; returns the bitmap writer's
// result (0 written; 1, 2, 3 its failures).
int focus_frame_display(Program& p);

}  // namespace kvr
