#pragma once
// The background gradient a frame's four corner levels span, subtracted from a row: explicit AVX2
// double-precision vectors where the processor has them (the same operations in the same order
// as the portable loop, so the same bits), the portable loop elsewhere.
#include <cstdint>

namespace kvr {

struct GradientPlane {
    double width;   // W
    double height;  // H
    double area;    // A
    int top_left, top_right, bottom_left, bottom_right;
};

// Row y of `width` pixels: g = ((H − y)(W − x) / A)·TL + ((H − y)·x / A)·TR + ((W − x)·y / A)·BL
// + (y·x / A)·BR, summed in that order in double precision with zero corners left out; a pixel
// above g loses trunc(g), others become 0.
void subtract_gradient_row(uint16_t* row, int width, int y, const GradientPlane& g);

}  // namespace kvr
