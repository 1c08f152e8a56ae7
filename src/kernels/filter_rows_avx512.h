#pragma once
// AVX-512 versions of filter row kernels, 32 output pixels a step, the same bits as the other
// loops: the convolution, and the 3 × 3 thresholded median for the thresholds of the fixed-point
// form (median_threshold.h).
#include <cstdint>

#include "kernels/filter_rows.h"
#include "kernels/simd_dispatch.h"

namespace kvr {

#if KVR_HAVE_AVX2_PATHS
// At least 32 output columns.
void convolve_row_avx512(const uint16_t* src, uint16_t* dst, int width, int y,
                         const KernelTaps& taps);
// At least 32 output columns; false (nothing done) when the power is not of the fixed-point form
// or the frame is wider than kMaxFilterWidth.
bool median3_rows_avx512(const uint16_t* src, uint16_t* dst, int width, int first, int rows,
                         float power);
#endif

}  // namespace kvr
