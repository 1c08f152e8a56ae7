#pragma once
#include <cstdint>

namespace kvr {

struct Program;

// Two-row average that evens out the brightness difference of the two interlaced fields.
// Saves `image` into `undo` first, then averages each row with the row below, or with the row
// above on every second call. The last column and a label band are left alone.
void venetian_blind(Program& p, uint16_t* image, uint16_t* undo);

}  // namespace kvr
