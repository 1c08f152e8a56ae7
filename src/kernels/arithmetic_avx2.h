#pragma once
// Per-pixel rules of the whole-image arithmetic shared by the portable loops and their AVX2
// versions.
#include <cstdint>

#include "kernels/simd_dispatch.h"

namespace kvr {

// One flat-fielded pixel: d / f · mean in double precision, 65535 at or above it, truncated
// below; a zero flat pixel keeps d, or gives the mean when d is 0 too.
inline uint16_t flat_field_pixel(uint16_t d, uint16_t f, double mean) {
    double v;
    if (f != 0)
        v = static_cast<double>(d) / f * mean;
    else if (d != 0)
        v = d;
    else
        v = mean;
    return v >= 65535.0 ? 65535 : static_cast<uint16_t>(v);
}

#if KVR_HAVE_AVX2_PATHS
// Flat-fields `count` (at least 8) consecutive pixels.
void flat_field_span_avx2(uint16_t* d, const uint16_t* f, double mean, int count);
#endif

}  // namespace kvr
