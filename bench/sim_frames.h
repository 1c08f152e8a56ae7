#pragma once
// Frames from the simulated camera for the whole-frame benchmarks, so that pixel loops whose
// speed depends on the pixels (the median's threshold test, the flat field's quick path) are
// timed on what the camera sends: star fields at several exposures, a twilight flat, a dark, a
// saturated frame; and uniform random pixels as one more case.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace kvr::bench {

enum class FrameSize { Binned = 0, Full = 1 };

enum class FrameContent {
    Random = 0,
    Stars1s = 1,
    Stars10s = 2,
    Stars100s = 3,
    Flat = 4,
    Dark = 5,
    Saturated = 6,
};
inline constexpr int kFrameContents = 7;

// Benchmark arguments: every content, for ArgsProduct.
std::vector<int64_t> all_frame_contents();

// The frame's pixels, row-major, without the spares: 376 × 290 binned, 752 × 580 full. Rendered
// once per process (the simulator is seeded, so every run times the same pixels).
const std::vector<uint16_t>& sim_frame(FrameSize size, FrameContent content);

inline FrameSize frame_of(const ::benchmark::State& state) {
    return static_cast<FrameSize>(state.range(0));
}
inline FrameContent content_of(const ::benchmark::State& state) {
    return static_cast<FrameContent>(state.range(1));
}

}  // namespace kvr::bench
