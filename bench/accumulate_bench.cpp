// Slew-and-sum registration of full frames (a fresh frame copied in, centroid or profiles, the
// shifted addition and the copies of the sum), read against BM_MemcpyFullFrame: each call moves
// the frame about four times (copy in, add, copy back).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "app/script_host.h"
#include "app/startup.h"
#include "core/program.h"
#include "guiding/accumulate.h"

namespace {

constexpr int kW = kvr::kFullWidth;
constexpr int kH = kvr::kFullHeight;

// A full frame of sky with a star at (cx, cy) inside the profile window.
std::vector<uint16_t> star_frame(double cx, double cy) {
    std::vector<uint16_t> f(kvr::kFrameBufferLength, 900);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            f[y * kW + x] = static_cast<uint16_t>(900 + 15000 * std::exp(-d2 / 4.0));
        }
    return f;
}

struct AccumulateBench {
    AccumulateBench() {
        p = kvr::make_program(clock, host, "/tmp");
        p->readout.binned = 0;
        kvr::set_readout_geometry(*p);
        p->guide.xcent = 250;
        p->guide.ycent = 150;
    }
    // Accumulates frames whose star steps one pixel back and forth.
    void run(benchmark::State& state, bool profiles) {
        const std::vector<uint16_t> frames[2] = {star_frame(250, 150), star_frame(251, 150)};
        const kvr::AccumulationMethod& method =
            profiles ? kvr::brightness_profile_method() : kvr::star_centroid_method();
        int i = 0;
        for (auto _ : state) {
            std::memcpy(p->buf->image_int, frames[i].data(), frames[i].size() * 2);
            i ^= 1;
            const int result = method.add(*p, p->buf->image_int, p->buf->trial_int);
            benchmark::DoNotOptimize(result);
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(state.iterations() *
                                static_cast<int64_t>(kvr::kFrameBufferLength * 2));
    }
    kvr::VirtualClock clock;
    std::ostringstream out;
    kvr::ScriptHost host{out, clock, &clock};
    std::unique_ptr<kvr::Program> p;
};

void BM_TrackAccumulateFullFrame(benchmark::State& state) {
    AccumulateBench().run(state, false);
}
BENCHMARK(BM_TrackAccumulateFullFrame);

void BM_SlewAccumulateFullFrame(benchmark::State& state) {
    AccumulateBench().run(state, true);
}
BENCHMARK(BM_SlewAccumulateFullFrame);

}  // namespace
