// Whole-frame arithmetic (subtract, average, mirror, flat field) next to a memcpy of the same
// frame measured in the same run. Arguments: frame size (0 binned, 1 full), frame content. The
// operations that work in place get their input afresh before each iteration (untimed), so the
// pixels do not drift from one iteration to the next.
#include <benchmark/benchmark.h>

#include <algorithm>
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

// The benchmark's frame copied afresh into `buffer`, outside the timing.
void restore(benchmark::State& state, uint16_t* buffer) {
    state.PauseTiming();
    bench_program().place(sim_frame(frame_of(state), content_of(state)), buffer);
    state.ResumeTiming();
}

// The second operand: a dark for subtract and average, a flat for the flat field.
const uint16_t* operand(const benchmark::State& state, FrameContent content, uint16_t* buffer) {
    bench_program().place(sim_frame(frame_of(state), content), buffer);
    return buffer;
}

void all_frames(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{0, 1}, all_frame_contents()});
}

void BM_FrameMemcpy(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    for (auto _ : state) {
        std::memcpy(p.ptr.trial, p.ptr.image, size_t(p.geo.intlength) * 2);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_FrameMemcpy)->ArgsProduct({{0, 1}, {0}});

void BM_SubtractImage(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    const uint16_t* dark = operand(state, FrameContent::Dark, p.ptr.undo);
    for (auto _ : state) {
        restore(state, p.ptr.trial);
        do_subtract_image(p.geo, p.ptr.trial, dark);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_SubtractImage)->Apply(all_frames);

void BM_AverageImage(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    const uint16_t* dark = operand(state, FrameContent::Dark, p.ptr.undo);
    for (auto _ : state) {
        restore(state, p.ptr.trial);
        do_average_image(p.geo, p.ptr.trial, dark);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_AverageImage)->Apply(all_frames);

void BM_MirrorImage(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    for (auto _ : state) {
        mirror_image(p.geo, p.ptr.image, p.ptr.trial);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_MirrorImage)->Apply(all_frames);

// The flat-field command's work: the normalisation mean, then every row but the first, divided
// by the simulated flat (by a second random frame for random pixels).
void BM_FlatField(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    const bool random = content_of(state) == FrameContent::Random;
    const uint16_t* flat = p.ptr.save;
    if (random)
        std::reverse_copy(p.ptr.image, p.ptr.image + p.geo.intlength, p.ptr.save);
    else
        operand(state, FrameContent::Flat, p.ptr.save);
    for (auto _ : state) {
        restore(state, p.ptr.trial);
        const double mean = flat_field_mean(p.geo, flat);
        for (int y = 1; y < p.geo.height1; ++y) do_flat_field(p.geo, p.ptr.trial, flat, mean, y);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_FlatField)->Apply(all_frames);

// contrast_stretch's work: one table look-up per pixel of the frame. The inversion keeps the
// frame's pixels spread as they were from one iteration to the next.
void BM_ApplyToneTable(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    invert_curve(p.processing.stretch_table);
    const size_t n = size_t(p.geo.width1) * size_t(p.geo.height1);
    for (auto _ : state) {
        apply_tone_table(p.processing.stretch_table, p.ptr.trial, n);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_ApplyToneTable)->Apply(all_frames);

// The background gradient removal (no target; for the record).
void BM_GradientFilter(benchmark::State& state) {
    Program& p = bench_program().use_frame(state);
    for (auto _ : state) {
        restore(state, p.ptr.trial);
        gradient_filter(p, p.ptr.trial);
        benchmark::ClobberMemory();
    }
    set_bytes(state, p);
}
BENCHMARK(BM_GradientFilter)->Apply(all_frames);

}  // namespace
}  // namespace kvr::bench
