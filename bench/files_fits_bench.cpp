// Writing and reading a full-frame FITS file, next to writing and reading the same number of
// raw bytes to and from the same directory (the cost of the file system alone), and, when
// cfitsio is installed, next to its reading and writing of the same image. A save replaces the
// old file safely (a temporary file flushed to disk and renamed over it): BM_RawWriteFlushed
// is the same bytes with the same flush and rename. Wall-clock times: the flush waits for the
// disk.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
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

#ifdef KVR_HAVE_CFITSIO
#include <fitsio.h>
#endif

namespace {

struct FitsBenchProgram {
    FitsBenchProgram() {
        char root[] = "/tmp/kvr_bench_XXXXXX";
        dir = mkdtemp(root);
        p = kvr::make_program(clock, host, dir);
        p->readout.binned = 0;
        kvr::set_readout_geometry(*p);
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
        if (kvr::save_fits_file(*b.p, b.fits, b.p->ptr.image, 0) != 0) state.SkipWithError("save");
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_FitsSaveFullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FitsLoadFullFrame(benchmark::State& state) {
    auto& b = bench_program();
    kvr::save_fits_file(*b.p, b.fits, b.p->ptr.image, 0);
    for (auto _ : state) {
        if (kvr::load_fits_file(*b.p, b.fits, 3, b.p->ptr.trial) != 0) state.SkipWithError("load");
        benchmark::DoNotOptimize(b.p->ptr.trial[0]);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_FitsLoadFullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

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
BENCHMARK(BM_RawWriteSameBytes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Reference for a save: the same bytes into a new file beside the old one, flushed to disk and
// renamed over it.
void BM_RawWriteFlushed(benchmark::State& state) {
    auto& b = bench_program();
    std::vector<uint8_t> bytes(kvr::kFitsFullBytes, 0x5a);
    const std::string temp = b.raw + ".new";
    for (auto _ : state) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
            ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temp.c_str(), b.raw.c_str()) != 0)
            state.SkipWithError("write");
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_RawWriteFlushed)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Page-aligned pixel bytes for the raw read: the kernel's copy into user memory runs at a speed
// that depends on the buffer's alignment, which malloc leaves to chance.
struct PageAlignedBytes {
    static constexpr size_t kPage = 4096;
    explicit PageAlignedBytes(size_t n)
        : size(n),
          data(static_cast<uint8_t*>(std::aligned_alloc(kPage, (n + kPage - 1) / kPage * kPage))) {
        std::memset(data.get(), 0x5a, n);
    }
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    size_t size;
    std::unique_ptr<uint8_t, Free> data;
};

void BM_RawReadSameBytes(benchmark::State& state) {
    auto& b = bench_program();
    PageAlignedBytes bytes(kvr::kFitsFullBytes);
    {
        const int fd = ::open(b.raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::write(fd, bytes.data.get(), bytes.size) != ssize_t(bytes.size))
            state.SkipWithError("write");
        ::close(fd);
    }
    for (auto _ : state) {
        const int fd = ::open(b.raw.c_str(), O_RDONLY);
        if (fd < 0 || ::read(fd, bytes.data.get(), bytes.size) != ssize_t(bytes.size))
            state.SkipWithError("read");
        ::close(fd);
        benchmark::DoNotOptimize(bytes.data.get()[0]);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_RawReadSameBytes)->Unit(benchmark::kMicrosecond)->UseRealTime();

#ifdef KVR_HAVE_CFITSIO

// cfitsio reading the program's file as unsigned 16-bit pixels.
void BM_CfitsioReadFullFrame(benchmark::State& state) {
    auto& b = bench_program();
    kvr::save_fits_file(*b.p, b.fits, b.p->ptr.image, 0);
    for (auto _ : state) {
        fitsfile* f = nullptr;
        int status = 0, any_null = 0;
        fits_open_file(&f, b.fits.c_str(), READONLY, &status);
        fits_read_img(f, TUSHORT, 1, kvr::kFullWidth * kvr::kFullHeight, nullptr, b.p->ptr.trial,
                      &any_null, &status);
        fits_close_file(f, &status);
        if (status != 0) state.SkipWithError("cfitsio read");
        benchmark::DoNotOptimize(b.p->ptr.trial[0]);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_CfitsioReadFullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

// cfitsio writing the same image as a new unsigned 16-bit file (replacing the old one).
void BM_CfitsioWriteFullFrame(benchmark::State& state) {
    auto& b = bench_program();
    const std::string name = "!" + b.dir + "/cfitsio.fits";
    for (auto _ : state) {
        fitsfile* f = nullptr;
        int status = 0;
        long axes[2] = {kvr::kFullWidth, kvr::kFullHeight};
        fits_create_file(&f, name.c_str(), &status);
        fits_create_img(f, USHORT_IMG, 2, axes, &status);
        fits_write_img(f, TUSHORT, 1, kvr::kFullWidth * kvr::kFullHeight, b.p->ptr.image, &status);
        fits_close_file(f, &status);
        if (status != 0) state.SkipWithError("cfitsio write");
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kvr::kFitsFullBytes});
}
BENCHMARK(BM_CfitsioWriteFullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

#endif

}  // namespace
