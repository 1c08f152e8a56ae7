#pragma once
// The filter wheel on the camera serial port the mount does not use.

namespace kvr {

struct Program;

// Camera serial port index of the wheel: 0 when the mount is on '2', else 1 (kept in
// `filter_wheel_comport`).
int filter_wheel_port(Program& p);
// Turns the wheel to `Filterbox_Filter` with the 4-byte command A5 01 n (A6 + n). A filter
// outside 1 … `Max_Filters` (at most 8) is refused with a message and nothing is sent. False when
// nothing was sent.
bool change_filterbox_filter(Program& p);
// The camera dialog's wheel buttons: the first filter, the next (1 after `Max_Filters`) and the
// previous (`Max_Filters` before 1); each turns the wheel.
void filter_first(Program& p);
void filter_next(Program& p);
void filter_previous(Program& p);

}  // namespace kvr
