#pragma once
// The main camera's run loop: window command 12 finds the camera, runs the camera control
// dialog and, on "Take Photo", takes one frame, a numbered set, an endless run or an exposure
// series, timing each exposure, watching for a stop and handing each exposure to the read phase.
namespace kvr {

struct Program;

// Window command 12.
void camera_control(Program& p);

// Records the finished frame's time and processing history,
// refreshes the display and, with `auto_save_fits`, saves the frame.
void record_and_show_frame(Program& p);

}  // namespace kvr
