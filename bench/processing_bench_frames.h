#pragma once
// A program with both frame sizes for the processing benchmarks: random pixel data in every frame
// buffer, the geometry switched by `use_frame`.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <sstream>

#include "app/script_host.h"
#include "core/clock.h"
#include "core/image_store.h"
#include "core/program.h"

namespace kvr::bench {

enum class FrameSize { Binned = 0, Full = 1 };

class BenchProgram {
  public:
    BenchProgram()
        : host_(out_, clock_, &clock_), program_(std::make_unique<Program>(clock_, host_)) {
        reset_buffer_pointers(*program_);
        std::mt19937 rng(12345);
        Buffers& b = *program_->buf;
        for (uint16_t* img : {b.image_int, b.trial_int, b.undo_int, b.save_int})
            for (int i = 0; i < kFrameBufferLength; ++i) img[i] = static_cast<uint16_t>(rng());
    }
    Program& use_frame(FrameSize size) {
        program_->readout.binned = size == FrameSize::Binned ? 1 : 0;
        set_readout_geometry(*program_);
        return *program_;
    }
    // Pixels of the frame (the 4 spares of `intlength` included).
    int64_t frame_pixels() const { return program_->geo.intlength; }

  private:
    VirtualClock clock_;
    std::ostringstream out_;
    ScriptHost host_;
    std::unique_ptr<Program> program_;
};

// One program for every benchmark of the run (the buffers are 4.6 MB).
inline BenchProgram& bench_program() {
    static BenchProgram program;
    return program;
}

inline FrameSize frame_of(const ::benchmark::State& state) {
    return static_cast<FrameSize>(state.range(0));
}

}  // namespace kvr::bench
