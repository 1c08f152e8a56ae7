#pragma once
// The Filters menu: every filter saves the undo copy, filters the image through the working
// buffer, records its history line and refreshes the display. Rows too close to the border for
// the filter window and the 10 rows of a label band keep their values.
#include <cstdint>
#include <span>

#include "core/commands.h"

namespace kvr {

struct Program;

// Convolution with kernel k of radius r, integer sums divided by d (the six kernel commands).
void run_enhance(Program& p, int r, int k, int d);
void gaussian_enhance(Program& p);
void lowpass_enhance(Program& p);
void highlow_enhance(Program& p);
void highhigh_enhance(Program& p);
void smoothsharp_enhance(Program& p);
void basrelief_enhance(Program& p);

// Unsharp mask after its dialog (radius and power preset 3 and 1).
void unsharp_enhance(Program& p);
// Thresholded median after its dialog (radius 1, power 6 tenths preset).
void median_enhance(Program& p);
// The median pass: `undo` ← `image`, then the filtered image into `result` (radius `white`,
// power `black` tenths).
void run_median_enhance(Program& p, uint16_t* image, uint16_t* result, uint16_t* undo);
void gradient_enhance(Program& p);
void venetian_enhance(Program& p);

// The Filters menu: the rows of its commands.
std::span<const CommandRow> filter_command_rows();

}  // namespace kvr
