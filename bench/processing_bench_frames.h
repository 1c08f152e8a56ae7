#pragma once
// A program with both frame sizes for the processing benchmarks, its image buffer holding one of
// the benchmark frames (sim_frames.h). Arguments of every processing benchmark: frame size, then
// frame content.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>

#include "app/script_host.h"
#include "core/clock.h"
#include "core/image_store.h"
#include "core/program.h"
#include "sim_frames.h"

namespace kvr::bench {

class BenchProgram {
  public:
    BenchProgram()
        : host_(out_, clock_, &clock_), program_(std::make_unique<Program>(clock_, host_)) {
        reset_buffer_pointers(*program_);
    }
    // The geometry of the benchmark's frame size, with its frame in the image buffer and, in
    // the trial buffer, the same pixels (for operations that work in place).
    Program& use_frame(const ::benchmark::State& state) {
        Program& p = *program_;
        p.readout.binned = frame_of(state) == FrameSize::Binned ? 1 : 0;
        set_readout_geometry(p);
        place(sim_frame(frame_of(state), content_of(state)), p.ptr.image);
        place(sim_frame(frame_of(state), content_of(state)), p.ptr.trial);
        return p;
    }
    // Copies a frame into a buffer of the current geometry (spares zeroed).
    void place(const std::vector<uint16_t>& frame, uint16_t* buffer) const {
        std::copy(frame.begin(), frame.end(), buffer);
        std::fill(buffer + frame.size(), buffer + program_->geo.intlength, uint16_t{0});
    }

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

}  // namespace kvr::bench
