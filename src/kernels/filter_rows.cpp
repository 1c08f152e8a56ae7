// Portable row kernels of the enhancement filters, and the choice of the AVX2 ones.
#include "kernels/filter_rows.h"

#include <algorithm>
#include <cmath>

#include "kernels/filter_rows_avx2.h"
#include "kernels/filter_rows_avx512.h"

namespace kvr {

const int mask[kKernelCount][kKernelEntries] = {
    // 0: lowpass smoother, 3 × 3, sum 16
    {1, 2, 1, 2, 4, 2, 1, 2, 1},
    // 1: Gaussian, 5 × 5, sum 80
    {0, 1, 2, 1, 0, 1, 4, 8, 4, 1, 2, 8, 16, 8, 2, 1, 4, 8, 4, 1, 0, 1, 2, 1, 0},
    // 2: high pass, low power, 3 × 3, sum 1
    {0, -1, 0, -1, 5, -1, 0, -1, 0},
    // 3: high pass, high power, 5 × 5, sum 1
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 25,
     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    // 4: smoother/sharper, 5 × 5, sum 1
    {0, -1, -1, -1, 0, -1, 1, 1, 1, -1, -1, 1, 5, 1, -1, -1, 1, 1, 1, -1, 0, -1, -1, -1, 0},
    // 5: bas relief, 5 × 5, sum 1
    {0, 0, -1, 0, 0, 0, -1, -1, -1, 0, -1, -1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0},
};

namespace {

// The row kernels need at least one block of output columns for their vector loops (16 pixels
// for AVX2, 32 for AVX-512); both frame widths have far more.
constexpr int kVectorSpan = 16;
constexpr int kWideVectorSpan = 32;

}  // namespace

bool make_kernel_taps(int radius, int kernel, int divisor, KernelTaps& taps) {
    taps = KernelTaps{};
    if (radius < 1 || radius > 2 || kernel < 0 || kernel >= kKernelCount || divisor < 1)
        return false;
    taps.radius = radius;
    taps.divisor = divisor;
    const int side = 2 * radius + 1;
    for (int e = 0; e < side * side; ++e) {
        const int w = mask[kernel][e];
        if (w == 0) continue;
        taps.dy[taps.count] = e / side - radius;
        taps.dx[taps.count] = e % side - radius;
        taps.weight[taps.count] = w;
        ++taps.count;
    }
    return true;
}

void convolve_row(const uint16_t* src, uint16_t* dst, int width, int y, const KernelTaps& taps) {
    const int r = taps.radius;
    if (r < 1) return;
#if KVR_HAVE_AVX2_PATHS
    if (use_avx512() && width - 2 * r >= kWideVectorSpan) {
        convolve_row_avx512(src, dst, width, y, taps);
        return;
    }
    if (use_avx2() && width - 2 * r >= kVectorSpan) {
        convolve_row_avx2(src, dst, width, y, taps);
        return;
    }
#endif
    const uint16_t* centre = src + y * width;
    uint16_t* out = dst + y * width;
    for (int x = r; x < width - r; ++x) {
        int sum = 0;
        for (int t = 0; t < taps.count; ++t)
            sum += centre[taps.dy[t] * width + x + taps.dx[t]] * taps.weight[t];
        out[x] = clip_filter_result(sum / taps.divisor);
    }
}

UnsharpRows::UnsharpRows(const uint16_t* src, uint16_t* dst, int width, int radius, int power)
    : src_(src),
      dst_(dst),
      width_(width),
      radius_(radius),
      power_(power),
      valid_(radius >= 1 && radius <= kUnsharpMaxRadius && power >= 0 &&
             power <= kUnsharpMaxPower && width <= kMaxFilterWidth &&
             width - 2 * radius - 1 >= kVectorSpan) {}

void UnsharpRows::update_column_sums(int y) {
    const int r = radius_;
    const int w = width_;
    if (y == sums_row_ + 1 && sums_row_ >= 0) {
        const uint16_t* entering = src_ + (y + r) * w;
        const uint16_t* leaving = src_ + (y - r - 1) * w;
#if KVR_HAVE_AVX2_PATHS
        if (use_avx2() && w % 8 == 0) {
            slide_column_sums_avx2(column_sum_, entering, leaving, w);
            sums_row_ = y;
            return;
        }
#endif
        for (int x = 0; x < w; ++x) column_sum_[x] += entering[x] - leaving[x];
    } else {
        for (int x = 0; x < w; ++x) {
            int s = 0;
            for (int dy = -r; dy <= r; ++dy) s += src_[(y + dy) * w + x];
            column_sum_[x] = s;
        }
    }
    sums_row_ = y;
}

void UnsharpRows::filter(int y) {
    if (!valid_) return;
    update_column_sums(y);
    const int r = radius_;
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) {
        unsharp_row_avx2(column_sum_, kSumStride, src_ + y * width_, dst_ + y * width_, width_, r,
                         power_);
        return;
    }
#endif
    const int side = 2 * r + 1;
    const double area = side * side;
    int box = 0;
    for (int x = 0; x < side; ++x) box += column_sum_[x];
    const uint16_t* row = src_ + y * width_;
    uint16_t* out = dst_ + y * width_;
    for (int x = r; x <= width_ - r - 2; ++x) {
        const int mean = static_cast<int>(box / area);
        const int pixel = row[x];
        out[x] = clip_filter_result(pixel + (pixel - mean) * power_);
        box += column_sum_[x + r + 1] - column_sum_[x - r];
    }
}

void median_rows(const uint16_t* src, uint16_t* dst, int width, int first, int rows, int radius,
                 float power) {
    if (radius < 1 || radius > kMedianMaxRadius || rows < 1) return;
#if KVR_HAVE_AVX2_PATHS
    if (radius == 1 && use_avx512() && width - 2 * radius >= kWideVectorSpan &&
        median3_rows_avx512(src, dst, width, first, rows, power))
        return;
    if (use_avx2() && width - 2 * radius >= kVectorSpan) {
        median_rows_avx2(src, dst, width, first, rows, radius, power);
        return;
    }
#endif
    const int side = 2 * radius + 1;
    const int n = side * side;
    uint16_t window[(2 * kMedianMaxRadius + 1) * (2 * kMedianMaxRadius + 1)];
    for (int y = first; y < first + rows; ++y) {
        const uint16_t* row = src + y * width;
        uint16_t* out = dst + y * width;
        for (int x = radius; x < width - radius; ++x) {
            int k = 0;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx) window[k++] = row[dy * width + x + dx];
            const auto [lo, hi] = std::minmax_element(window, window + n);
            const int smallest = std::min<int>(*lo, kMedianMinCeiling);
            const int largest = *hi;
            std::nth_element(window, window + n / 2, window + n);
            const int median = window[n / 2];
            const double threshold = std::trunc(static_cast<double>(largest - smallest) * power);
            if (std::abs(median - row[x]) > threshold) out[x] = static_cast<uint16_t>(median);
        }
    }
}

}  // namespace kvr
