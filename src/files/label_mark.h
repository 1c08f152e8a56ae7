#pragma once
// The label band: a labelled frame carries its text in the first rows, and six marker pixels of
// 17 at the start of row 0 that image operations test (pixels 4 and 5 sum to 34) to leave the
// band alone.
#include <cstdint>

namespace kvr {

inline constexpr int kLabelBandRows = 10;
inline constexpr uint16_t kLabelMarkValue = 17;
inline constexpr int kLabelMarkPixels = 6;

}  // namespace kvr
