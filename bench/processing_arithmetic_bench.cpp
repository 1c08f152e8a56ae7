// Whole-frame arithmetic (subtract, average, mirror, flat field) next to a memcpy of the same
// frame measured in the same run. Argument 0: binned frame, 1: full frame.
#include <benchmark/benchmark.h>

#include <cstring>

#include "imaging/arithmetic.h"
#include "imaging/gradient_filter.h"
#include "imaging/tone_curves.h"
#include "processing_bench_frames.h"

namespace kvr::bench {
namespace {

void set_bytes(benchmark::State& state, const Program& p) {
    state.SetBytesProcessed(state.iterations() * int64_t{p.geo.intlength} * 2);
}

void BM_FrameMemcpy(benchmark::State& state) {
    Program& p = bench_program().use_frame(frame_of(state));
    for (auto _ : state) {
        std::memcpy(p.ptr.trial, p.ptr.image, size_t(p.geo.intlength) * 2);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_FrameMemcpy)->Arg(0)->Arg(1);

void BM_SubtractImage(benchmark::State& state) {
    Program& p = bench_program().use_frame(frame_of(state));
    for (auto _ : state) {
        do_subtract_image(p.geo, p.ptr.trial, p.ptr.image);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_SubtractImage)->Arg(0)->Arg(1);

void BM_AverageImage(benchmark::State& state) {
    Program& p = bench_program().use_frame(frame_of(state));
    for (auto _ : state) {
        do_average_image(p.geo, p.ptr.trial, p.ptr.image);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_AverageImage)->Arg(0)->Arg(1);

void BM_MirrorImage(benchmark::State& state) {
    Program& p = bench_program().use_frame(frame_of(state));
    for (auto _ : state) {
        mirror_image(p.geo, p.ptr.image, p.ptr.trial);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_MirrorImage)->Arg(0)->Arg(1);

// The flat-field command's work: the normalisation mean, then every row but the first.
void BM_FlatField(benchmark::State& state) {
    Program& p = bench_program().use_frame(frame_of(state));
    for (auto _ : state) {
        const double mean = flat_field_mean(p.geo, p.ptr.save);
        for (int y = 1; y < p.geo.height1; ++y)
            do_flat_field(p.geo, p.ptr.trial, p.ptr.save, mean, y);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_FlatField)->Arg(0)->Arg(1);

// contrast_stretch's work: one table look-up per pixel of the frame. The inversion keeps the
// random frame spread over the whole table from one iteration to the next.
void BM_ApplyToneTable(benchmark::State& state) {
    Program& p = bench_program().use_frame(frame_of(state));
    invert_curve(p.processing.stretch_table);
    const size_t n = size_t(p.geo.width1) * size_t(p.geo.height1);
    for (auto _ : state) {
        apply_tone_table(p.processing.stretch_table, p.ptr.trial, n);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_ApplyToneTable)->Arg(0)->Arg(1);

// The background gradient removal on a frame whose top-left corner is brighter (no target; for
// the record).
void BM_GradientFilter(benchmark::State& state) {
    Program& p = bench_program().use_frame(frame_of(state));
    const int w = p.geo.width1;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < p.geo.intlength; ++i) p.ptr.trial[i] = 1000;
        for (int y = 10; y < 50; ++y)
            for (int x = 20; x < 60; ++x) p.ptr.trial[y * w + x] = 3000;
        state.ResumeTiming();
        gradient_filter(p, p.ptr.trial);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_GradientFilter)->Arg(0)->Arg(1);

}  // namespace
}  // namespace kvr::bench
