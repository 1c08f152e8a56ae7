// The display refresh on whole frames, read against BM_MemcpyFullFrame / BM_MemcpyBinnedFrame of
// the same run: the display buffer from the 16-bit frame, then the stretch and colour table of
// the bitmap (the scratch file write left out); then the whole refresh with its files.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>

#include "app/script_host.h"
#include "app/startup.h"
#include "core/program.h"
#include "display/display.h"
#include "display/display_mapping.h"
#include "kernels/display_kernels.h"

namespace {

using namespace kvr;

struct Fixture {
    explicit Fixture(int binned, int geo, int max_stretch)
        : root(std::filesystem::temp_directory_path() / "kvr_display_bench"),
          host(sink, clock, &clock),
          program(make_program(clock, host, root.string())),
          p(*program) {
        p.readout.binned = binned;
        set_readout_geometry(p);
        p.display.Geo = geo;
        p.display.max_stretch = max_stretch;
        // A sky-like frame: dark background with a gradient and some bright points.
        for (int k = 0; k < p.geo.intlength; ++k)
            p.buf->image_int[k] = uint16_t(2000 + (k % 7919) + (k % 1009 == 0 ? 60000 : 0));
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::filesystem::path root;
    VirtualClock clock;
    std::ostringstream sink;
    ScriptHost host;
    std::unique_ptr<Program> program;
    Program& p;
};

void refresh_in_memory(benchmark::State& state, int binned, int geo, int max_stretch) {
    Fixture f(binned, geo, max_stretch);
    for (auto _ : state) {
        display_image(f.p);
        prepare_bitmap(f.p, f.p.display.pixels_c, 0, f.p.display.Geo);
        benchmark::DoNotOptimize(f.p.display.pixels_c);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(f.p.geo.intlength) * 2);
}

void BM_DisplayRefreshFullFrame(benchmark::State& s) {
    refresh_in_memory(s, 0, 0, 0);
}
void BM_DisplayRefreshFullFrameMaxStretch(benchmark::State& s) {
    refresh_in_memory(s, 0, 0, 1);
}
void BM_DisplayRefreshBinnedCameraGeometry(benchmark::State& s) {
    refresh_in_memory(s, 1, 1, 0);
}
void BM_DisplayRefreshBinnedCameraGeometryMaxStretch(benchmark::State& s) {
    refresh_in_memory(s, 1, 1, 1);
}
void BM_DisplayRefreshBinnedFrame(benchmark::State& s) {
    refresh_in_memory(s, 1, 0, 0);
}
BENCHMARK(BM_DisplayRefreshFullFrame);
BENCHMARK(BM_DisplayRefreshFullFrameMaxStretch);
BENCHMARK(BM_DisplayRefreshBinnedCameraGeometry);
BENCHMARK(BM_DisplayRefreshBinnedCameraGeometryMaxStretch);
BENCHMARK(BM_DisplayRefreshBinnedFrame);

// The max-stretch remap alone on a full frame, vectorised and portable (the figure a processor
// without byte permutes sees).
void remap(benchmark::State& state, void (*fn)(uint8_t*, int, const uint8_t*)) {
    Fixture f(0, 0, 0);
    display_image(f.p);
    uint8_t lut[256];
    for (int v = 0; v < 256; ++v) lut[v] = uint8_t(255 - v);
    for (auto _ : state) {
        fn(f.p.display.pixels_c, kFullPixels, lut);
        benchmark::ClobberMemory();
    }
}
void BM_MaxStretchRemapFullFrame(benchmark::State& s) {
    remap(s, remap_bytes);
}
void BM_MaxStretchRemapFullFramePortable(benchmark::State& s) {
    remap(s, remap_bytes_portable);
}
BENCHMARK(BM_MaxStretchRemapFullFrame);
BENCHMARK(BM_MaxStretchRemapFullFramePortable);

// The whole refresh: display buffer, bitmap written to the scratch file and loaded back. Wall
// time: the file system's work is not all charged to this process's processor time.
void BM_ImagePrepareFullFrameWithFiles(benchmark::State& state) {
    Fixture f(0, 0, 0);
    for (auto _ : state) image_prepare(f.p);
}
BENCHMARK(BM_ImagePrepareFullFrameWithFiles)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
