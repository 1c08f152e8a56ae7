#pragma once
// A labelled frame starts with six marker pixels of 17; pixels 4 and 5 then sum to exactly 34,
// which tells image operations to leave its first 10 rows (the label band) alone.
#include <cstdint>

#include "files/label_mark.h"

namespace kvr {

inline constexpr int kHeaderBandRows = kLabelBandRows;
inline constexpr unsigned kHeaderBandMarkSum = 2u * kLabelMarkValue;

inline bool has_header_band(const uint16_t* image) {
    return static_cast<unsigned>(image[4]) + image[5] == kHeaderBandMarkSum;
}

}  // namespace kvr
