#pragma once
// AVX-512 version of the flat field's pixel loop, for processors that have it (use_avx512()).
#include <cstdint>

#include "kernels/simd_dispatch.h"

namespace kvr {

#if KVR_HAVE_AVX2_PATHS
// Flat-fields `count` consecutive pixels; the same bits as flat_field_pixel.
void flat_field_span_avx512(uint16_t* d, const uint16_t* f, double mean, int count);
#endif

}  // namespace kvr
