#pragma once
// AVX2 versions of the filter row kernels (same results bit for bit). Each needs at least 16
// output columns.
#include <cstdint>

#include "kernels/filter_rows.h"
#include "kernels/simd_dispatch.h"

namespace kvr {

#if KVR_HAVE_AVX2_PATHS
void convolve_row_avx2(const uint16_t* src, uint16_t* dst, int width, int y,
                       const KernelTaps& taps);
// column_sum[x] += entering[x] − leaving[x] for x < width (width a multiple of 8).
void slide_column_sums_avx2(int32_t* column_sum, const uint16_t* entering, const uint16_t* leaving,
                            int width);
// One unsharp-mask row from the column sums of its window. `sums` holds the column sums and
// room for three more levels of `stride` entries (sums of 2, 4 and 8 columns).
void unsharp_row_avx2(int32_t* sums, int stride, const uint16_t* row, uint16_t* out, int width,
                      int radius, int power);
void median_rows_avx2(const uint16_t* src, uint16_t* dst, int width, int first, int rows,
                      int radius, float power);
#endif

}  // namespace kvr
