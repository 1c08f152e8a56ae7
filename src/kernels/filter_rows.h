#pragma once
// Row kernels of the enhancement filters. Each filters image rows of `src` into `dst` (two
// frames of `width` columns, row-major, distinct buffers) and leaves the border columns the
// filter window does not fit around untouched. The rows the window reaches above and below
// must exist, and `width` is at most kMaxFilterWidth.
#include <cstdint>

namespace kvr {

// Widest frame row the kernels handle.
inline constexpr int kMaxFilterWidth = 752;
// Results above this become 65535; negative results become 0.
inline constexpr int kFilterClipLevel = 65280;

inline uint16_t clip_filter_result(int v) {
    if (v > kFilterClipLevel) return 65535;
    return v < 0 ? 0 : static_cast<uint16_t>(v);
}

// --- Convolution with one of the fixed kernels -------------------------------------------------

inline constexpr int kKernelCount = 6;
inline constexpr int kKernelEntries = 25;
// The kernels, row-major; the 3 × 3 ones use their first 9 entries.
extern const int mask[kKernelCount][kKernelEntries];

// A kernel prepared for a window of radius 1 or 2: its non-zero entries as offsets from the
// output pixel, entries taken in order from the start of the kernel.
struct KernelTaps {
    int radius = 0;
    int divisor = 1;
    int count = 0;
    int dx[kKernelEntries] = {};
    int dy[kKernelEntries] = {};
    int weight[kKernelEntries] = {};
};
// False (and no taps) unless radius is 1 or 2, the kernel index exists and the divisor is
// positive.
bool make_kernel_taps(int radius, int kernel, int divisor, KernelTaps& taps);

// Columns radius … width − radius − 1 of row y: Σ pixel · weight, div divisor (toward zero),
// clipped.
void convolve_row(const uint16_t* src, uint16_t* dst, int width, int y, const KernelTaps& taps);

// --- Unsharp mask ------------------------------------------------------------------------------

inline constexpr int kUnsharpMaxRadius = 7;
inline constexpr int kUnsharpMaxPower = 7;

// The unsharp mask over the rows of one frame. Columns radius … width − radius − 2 of a row
// become v = pixel + (pixel − mean) · power, mean being the truncated mean of the (2r + 1)²
// window, clipped. The window's column sums are kept from one row to the next, so filtering
// successive rows adds one image row and drops one. Radius and power 1 … 7; other values (or a
// frame wider than kMaxFilterWidth) leave the rows unfiltered.
class UnsharpRows {
  public:
    UnsharpRows(const uint16_t* src, uint16_t* dst, int width, int radius, int power);
    void filter(int y);

  private:
    void update_column_sums(int y);

    const uint16_t* src_;
    uint16_t* dst_;
    int width_, radius_, power_;
    bool valid_;
    int sums_row_ = -1;  // row whose window the column sums hold
    // Column sums, then sums of 2, 4 and 8 neighbouring column sums (level k at k · kSumStride),
    // with room for the AVX2 loop's last block.
    static constexpr int kSumStride = kMaxFilterWidth + 8;
    alignas(32) int32_t column_sum_[4 * kSumStride] = {};
};

// --- Thresholded median ------------------------------------------------------------------------

inline constexpr int kMedianMaxRadius = 3;
// The window minimum taken for the threshold never exceeds this.
inline constexpr int kMedianMinCeiling = 65000;

// Columns radius … width − radius − 1 of rows first … first + rows − 1, radius 1 … 3: the median
// of the (2r + 1)² window replaces the pixel when it differs from it by more than
// trunc((max − min) · power), where max is the window's largest pixel and min its smallest, but
// at most 65000. Several rows at once share work between neighbouring windows.
void median_rows(const uint16_t* src, uint16_t* dst, int width, int first, int rows, int radius,
                 float power);

}  // namespace kvr
