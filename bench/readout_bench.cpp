// Frame readout: receiving a full-width field from a device whose transfer is a plain memcpy and
// assembling it into alternate rows, next to a memcpy of the same bytes; row interpolation and the
// guider hot-pixel filter next to copies of their frames.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "app/script_host.h"
#include "app/startup.h"
#include "camera/camera_protocol.h"
#include "camera/readout.h"
#include "core/block_device.h"
#include "core/program.h"

namespace {

// A camera whose pixel block is ready in memory: a read is one memcpy.
class MemcpyDevice : public kvr::BlockDevice {
  public:
    MemcpyDevice() : block_(kvr::kFieldReplyBytes, 0x5A) {}
    int write_block(const uint8_t*, size_t) override { return 0; }
    int read_block(uint8_t* data, size_t length, size_t& received) override {
        received = std::min(length, block_.size());
        std::memcpy(data, block_.data(), received);
        return received == length ? 0 : 5;
    }

  private:
    std::vector<uint8_t> block_;
};

struct BenchProgram {
    BenchProgram() {
        p = kvr::make_program(clock, host, "/tmp");
        p->BlockIOHandle = std::make_unique<MemcpyDevice>();
        p->link.got_kv = 1;
        p->readout.exposure = 2000;
        p->readout.download_time = 2900;  // already measured
    }
    kvr::VirtualClock clock;
    std::ostringstream out;
    kvr::ScriptHost host{out, clock, &clock};
    std::unique_ptr<kvr::Program> p;
};

void BM_ReceiveAndAssembleField(benchmark::State& state) {
    BenchProgram b;
    for (auto _ : state) {
        if (!kvr::first_read(*b.p)) state.SkipWithError("read failed");
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kvr::kFieldReplyBytes));
}
BENCHMARK(BM_ReceiveAndAssembleField);

void BM_MemcpyField(benchmark::State& state) {
    std::vector<uint8_t> src(kvr::kFieldReplyBytes, 0x5A), dst(kvr::kFieldReplyBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_MemcpyField);

void BM_FillBinnedFullFrame(benchmark::State& state) {
    std::vector<uint16_t> frame(kvr::kFrameBufferLength, 1234);
    for (auto _ : state) {
        kvr::fill_binned(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size() * 2));
}
BENCHMARK(BM_FillBinnedFullFrame);

void BM_GuiderHotPixelFilter(benchmark::State& state) {
    BenchProgram b;
    for (int i = 0; i < kvr::kGuiderPixels; ++i) {
        b.p->ptr.guider_imageptr[i] = static_cast<uint16_t>((i * 2654435761u) >> 16);
    }
    for (auto _ : state) {
        kvr::filter_guider_hot_pixels(*b.p);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kvr::kGuiderPixels * 2));
}
BENCHMARK(BM_GuiderHotPixelFilter);

void BM_MemcpyGuiderFrame(benchmark::State& state) {
    std::vector<uint16_t> src(kvr::kGuiderPixels, 1234), dst(kvr::kGuiderPixels);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 2);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size() * 2));
}
BENCHMARK(BM_MemcpyGuiderFrame);

}  // namespace
