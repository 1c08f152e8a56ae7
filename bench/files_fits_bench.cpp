// Writing and reading a full-frame FITS file, next to writing and reading the same number of
// raw bytes to and from the same directory (the cost of the file system alone).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/script_host.h"
#include "app/startup.h"
#include "core/clock.h"
#include "core/program.h"
#include "files/fits_file.h"
#include "files/image_file_kinds.h"

namespace {

struct FitsBenchProgram {
    FitsBenchProgram() {
        char root[] = "/tmp/kvr_bench_XXXXXX";
        dir = mkdtemp(root);
        p = kvr::make_program(clock, host, dir);
        p->readout.binned = 0;
        kvr::QX_binned(*p);
        for (int i = 0; i < kvr::kFrameBufferLength; ++i)
            p->ptr.image[i] = static_cast<uint16_t>(i * 40503u);
        fits = dir + "/frame.FIT";
        raw = dir + "/frame.raw";
    }
    ~FitsBenchProgram() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    kvr::VirtualClock clock;
    std::ostream nowhere{nullptr};
    kvr::ScriptHost host{nowhere, clock, &clock};
    std::string dir, fits, raw;
    std::unique_ptr<kvr::Program> p;
};

FitsBenchProgram& bench_program() {
    static FitsBenchProgram b;
    return b;
}

void BM_FitsSaveFullFrame(benchmark::State& state) {
    auto& b = bench_program();
    for (auto _ : state) {
        if (kvr::SaveFITSFile(*b.p, b.fits, b.p->ptr.image, 0) != 0) state.SkipWithError("save");
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_FitsSaveFullFrame)->Unit(benchmark::kMicrosecond);

void BM_FitsLoadFullFrame(benchmark::State& state) {
    auto& b = bench_program();
    kvr::SaveFITSFile(*b.p, b.fits, b.p->ptr.image, 0);
    for (auto _ : state) {
        if (kvr::LoadFITSFile(*b.p, b.fits, 3, b.p->ptr.trial) != 0) state.SkipWithError("load");
        benchmark::DoNotOptimize(b.p->ptr.trial[0]);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_FitsLoadFullFrame)->Unit(benchmark::kMicrosecond);

// Reference: the same bytes, deleted and written anew, with no conversion.
void BM_RawWriteSameBytes(benchmark::State& state) {
    auto& b = bench_program();
    std::vector<uint8_t> bytes(kvr::kFitsFullBytes, 0x5a);
    for (auto _ : state) {
        ::unlink(b.raw.c_str());
        const int fd = ::open(b.raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            state.SkipWithError("write");
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_RawWriteSameBytes)->Unit(benchmark::kMicrosecond);

void BM_RawReadSameBytes(benchmark::State& state) {
    auto& b = bench_program();
    std::vector<uint8_t> bytes(kvr::kFitsFullBytes, 0x5a);
    {
        const int fd = ::open(b.raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            state.SkipWithError("write");
        ::close(fd);
    }
    for (auto _ : state) {
        const int fd = ::open(b.raw.c_str(), O_RDONLY);
        if (fd < 0 || ::read(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            state.SkipWithError("read");
        ::close(fd);
        benchmark::DoNotOptimize(bytes[0]);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_RawReadSameBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
