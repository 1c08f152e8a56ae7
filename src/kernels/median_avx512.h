#pragma once
// AVX-512 version of the 3 × 3 thresholded median, 32 output pixels a step, for the thresholds
// of the fixed-point form (median_threshold.h): the same bits as the other loops.
#include <cstdint>

#include "kernels/simd_dispatch.h"

namespace kvr {

#if KVR_HAVE_AVX2_PATHS
// Width at least kMedian3Avx512MinWidth; false (nothing done) when the power is not of the
// fixed-point form.
bool median3_rows_avx512(const uint16_t* src, uint16_t* dst, int width, int first, int rows,
                         float power);
inline constexpr int kMedian3Avx512MinWidth = 34;
#endif

}  // namespace kvr
