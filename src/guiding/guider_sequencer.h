#pragma once
// The guider head's own flow of work: window command 27 with its checks and the guider dialog,
// the dialog's preview loop and dark frame, and stand-alone guiding (window command 890).
#include <functional>

namespace kvr {

struct Program;

// Window command 27 (guider_control): finds the camera when none was found yet (loading the
// settings file first), refuses without a drive method, runs the guider dialog and then hands
// over to the main camera dialog (command 12) or stand-alone guiding (command 890).
void guider_control(Program& p);

// The preview loop (GuiderDialog::Start): a guider exposure, then a beep and with
// `guider_exposure_delay` a 1 s pause, alternately, until `stopit` is set (the Stop button) or a
// left mouse-button press goes by. `redraw` shows the dialog's values and picture. A frame the
// camera does not deliver ends the loop.
void guider_preview(Program& p, const std::function<void()>& redraw);

// GuiderDialog's Take DarkFrame: a guider frame without dark subtraction becomes the guider dark
// frame, described by `darkframe_base_text`. False (nothing kept) when the frame could not be
// read or drawn.
bool take_guider_darkframe(Program& p);

// Window command 890 (guider_start_standalone): guider corrections, frame after frame, with the
// guiding-information window open, until guiding fails, its Stop Guiding button is pressed or a
// key is pressed. Nothing happens while it already runs.
void guider_start_standalone(Program& p);

}  // namespace kvr
