#pragma once
// Bilinear resample of a binned frame's display values to the 564 × 452 camera geometry, in
// single precision with truncation toward zero.
#include <cstdint>

namespace kvr {

struct Program;

// Output row i reads source rows trunc(i / ry) and the next one (the last output row only its
// own), output column j source columns trunc(j / rx) and the next one (the last column only its
// own), ry = 452 / height1f, rx = 564 / width1f. Values of 256 and above show as 255.
void resample_to_camera_geometry(const Program& p, const uint16_t* src, uint8_t* dst);

}  // namespace kvr
