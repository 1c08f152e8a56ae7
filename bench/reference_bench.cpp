// Reference figures every whole-frame benchmark is read against: copying the frame's pixels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/image_store.h"

namespace {

void BM_MemcpyFullFrame(benchmark::State& state) {
    std::vector<uint16_t> src(kvr::kFrameBufferLength, 1234), dst(kvr::kFrameBufferLength);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * sizeof(uint16_t));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size() * 2));
}
BENCHMARK(BM_MemcpyFullFrame);

void BM_MemcpyBinnedFrame(benchmark::State& state) {
    const size_t n = kvr::kBinnedWidth * kvr::kBinnedHeight + kvr::kFrameSpare;
    std::vector<uint16_t> src(n, 1234), dst(n);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), n * sizeof(uint16_t));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(n * 2));
}
BENCHMARK(BM_MemcpyBinnedFrame);

}  // namespace
