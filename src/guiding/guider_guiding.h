#pragma once
// Guiding with the guider head, through the mount or the AO unit: the start with its three
// stabilising corrections, and one correction per guider frame.
namespace kvr {

struct Program;

// Points the guider image, dark frame and work pointers at their buffers (before any guider work).
void point_guider_buffers(Program& p);
// Reads a guider frame (`guider_camera_read`) and draws the guider picture; `guided_image`
// is set. False when the camera did not deliver.
bool read_and_draw(Program& p);

// start_guider_auto_guide: 0 started, 1 refused (message 55 without a drive or
// camera, 53 without a picked guider star, or the picked star could not be centred).
int start_guider_auto_guide(Program& p);
// guider_auto_guide: one guider frame and its correction; a lost star sets
// `guider_guiding_failed`.
void guider_auto_guide(Program& p);
// Guider guiding has stopped: the AO unit goes back to its centre when it did the guiding.
void stop_guider_guiding(Program& p);

}  // namespace kvr
