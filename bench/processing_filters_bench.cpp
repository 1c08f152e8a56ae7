// The enhancement filters on whole frames, next to OpenCV's fastest operations computing the same
// thing on the same frame in the same run, on one thread (when OpenCV is installed): the median
// of radius 1 and 2 against medianBlur 3 × 3 and 5 × 5, kernel 0 (1-2-1) against GaussianBlur
// 3 × 3, the kernels against filter2D of their size on the 16-bit frame and on float data
// (converted, filtered and converted back, its fastest path), the unsharp mask against blur of
// its window. Arguments: frame size (0 binned, 1 full), frame content, then the kernel, radius or
// window size where there is one.
#include <benchmark/benchmark.h>

#include "kernels/filter_rows.h"
#include "processing_bench_frames.h"

#ifdef KVR_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace kvr::bench {
namespace {

// Every filterable row of the frame, as the filter commands run them.
template <typename Row>
void filter_frame(Program& p, int radius, Row row) {
    for (int y = radius; y < p.geo.height1 - radius; ++y)
        row(p.ptr.image, p.ptr.trial, p.geo.width1, y);
}

void set_pixels(benchmark::State& state, const Program& p) {
    state.SetItemsProcessed(state.iterations() * int64_t{p.geo.width1} * p.geo.height1);
}

void BM_Kernel(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    const int k = static_cast<int>(state.range(2));
    const int radius[] = {1, 2, 1, 2, 2, 2};
    const int divisor[] = {16, 80, 1, 1, 1, 1};
    KernelTaps taps;
    make_kernel_taps(radius[k], k, divisor[k], taps);
    for (auto _ : state) {
        filter_frame(p, radius[k], [&](auto... a) { convolve_row(a..., taps); });
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_Kernel)->ArgsProduct({{0, 1}, all_frame_contents(), {0, 1, 2, 3, 4, 5}});

void BM_UnsharpMask(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    const int r = static_cast<int>(state.range(2));
    for (auto _ : state) {
        UnsharpRows rows(p.ptr.image, p.ptr.trial, p.geo.width1, r, 1);
        for (int y = r; y < p.geo.height1 - r; ++y) rows.filter(y);
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_UnsharpMask)->ArgsProduct({{0, 1}, all_frame_contents(), {1, 3, 7}});

void BM_Median(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    const int r = static_cast<int>(state.range(2));
    for (auto _ : state) {
        median_rows(p.ptr.image, p.ptr.trial, p.geo.width1, r, p.geo.height1 - 2 * r, r, 0.6f);
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_Median)->ArgsProduct({{0, 1}, all_frame_contents(), {1, 2, 3}});

#ifdef KVR_HAVE_OPENCV

// OpenCV on one core, as the program's filters run.
struct OpenCvFrames {
    cv::Mat src, dst;
    explicit OpenCvFrames(Program& p) {
        cv::setNumThreads(1);
        src = cv::Mat(p.geo.height1, p.geo.width1, CV_16U, p.ptr.image);
        dst = cv::Mat(p.geo.height1, p.geo.width1, CV_16U, p.ptr.trial);
    }
};

void BM_OpenCvMedianBlur(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    OpenCvFrames f(p);
    const int size = static_cast<int>(state.range(2));
    for (auto _ : state) {
        cv::medianBlur(f.src, f.dst, size);
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_OpenCvMedianBlur)->ArgsProduct({{0, 1}, all_frame_contents(), {3, 5}});

void BM_OpenCvFilter2D(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    OpenCvFrames f(p);
    const int size = static_cast<int>(state.range(2));
    const cv::Mat kernel = cv::Mat::ones(size, size, CV_32F) / float(size * size);
    for (auto _ : state) {
        cv::filter2D(f.src, f.dst, -1, kernel);
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_OpenCvFilter2D)->ArgsProduct({{0, 1}, all_frame_contents(), {3, 5}});

// Kernel 0 is the 3 × 3 binomial GaussianBlur computes.
void BM_OpenCvGaussianBlur3x3(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    OpenCvFrames f(p);
    for (auto _ : state) {
        cv::GaussianBlur(f.src, f.dst, cv::Size(3, 3), 0, 0, cv::BORDER_REPLICATE);
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_OpenCvGaussianBlur3x3)->ArgsProduct({{0, 1}, all_frame_contents()});

// filter2D's float path: the frame converted to float, filtered, and converted back.
void BM_OpenCvFilter2DFloat(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    OpenCvFrames f(p);
    const int size = static_cast<int>(state.range(2));
    const cv::Mat kernel = cv::Mat::ones(size, size, CV_32F) / float(size * size);
    cv::Mat in(f.src.size(), CV_32F), out(f.src.size(), CV_32F);
    for (auto _ : state) {
        f.src.convertTo(in, CV_32F);
        cv::filter2D(in, out, -1, kernel);
        out.convertTo(f.dst, CV_16U);
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_OpenCvFilter2DFloat)->ArgsProduct({{0, 1}, all_frame_contents(), {3, 5}});

void BM_OpenCvBlur(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    OpenCvFrames f(p);
    const int size = static_cast<int>(state.range(2));
    for (auto _ : state) {
        cv::blur(f.src, f.dst, cv::Size(size, size));
        benchmark::ClobberMemory();
    }
    set_pixels(state, p);
}
BENCHMARK(BM_OpenCvBlur)->ArgsProduct({{0, 1}, all_frame_contents(), {3, 7, 15}});

#endif

}  // namespace
}  // namespace kvr::bench
