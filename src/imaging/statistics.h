#pragma once
// Histogram of the display levels (pixel high bytes) of the current image and its most populated
// level `most_pop`, the background estimate used by the palette stretch, the background stretch
// and photometry.
#include <cstdint>

namespace kvr {

struct Program;

// Rebuilds `table` from the image (skipping half a row at the start and ten rows' worth at the
// end) and sets `most_pop` to the mean of the three most populated levels. A level that does
// not exist (fewer than three occupied levels) counts as 0.
void build_histogram(Program& p, const uint16_t* image);
// Rebuilds `table` from pixels 10240 … 25599 and sets `most_pop` to the most populated level.
void find_most_pop(Program& p, const uint16_t* image);

}  // namespace kvr
