#pragma once
// The filter wheel on a camera serial port.

namespace kvr {

struct Program;

// Turns the wheel to `Filterbox_Filter` with the 4-byte command A5 01 n (A6 + n). Positions
// 1 … 7 are handled; others send nothing. False when nothing could be sent.
bool change_filterbox_filter(Program& p);
// The camera dialog's wheel buttons: the first filter, the next (1 after `Max_Filters`) and the
// previous (`Max_Filters` before 1); each turns the wheel.
void filter_first(Program& p);
void filter_next(Program& p);
void filter_previous(Program& p);

}  // namespace kvr
