#pragma once
// Background gradient removal: the background of four 40 × 40 corner patches (the mode of their
// pixel values in steps of 16) above the faintest corner is interpolated bilinearly over the
// frame and subtracted.
#include <cstdint>

namespace kvr {

struct Program;

// The corner offsets the filter subtracts, in pixel values (multiples of 16, one of them 0).
struct GradientCorners {
    int top_left = 0, top_right = 0, bottom_left = 0, bottom_right = 0;
};

// Measures the corner offsets of `image` in the current geometry.
GradientCorners measure_gradient(const Program& p, const uint16_t* image);
// Subtracts the interpolated offsets from rows s … height1 − 1 (s = 10 for a frame with a label
// band), in place: a pixel above the offset loses its truncated value, any other becomes 0.
void gradient_filter(const Program& p, uint16_t* image);

}  // namespace kvr
