// Event latency while guiding: the longest and the median time between two runs of the window's
// events (Host::pump or Host::keep_alive) over main-camera guide frames on the real clock. An
// event arriving at a random moment waits at most the longest gap. The camera answers at once,
// so the figures are those of the waits themselves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "app/script_host.h"
#include "app/startup.h"
#include "camera/camera_protocol.h"
#include "camera/readout.h"
#include "core/block_device.h"
#include "core/messages.h"
#include "core/program.h"
#include "platform/real_clock.h"

namespace {

class InstantDevice : public kvr::BlockDevice {
  public:
    int write_block(const uint8_t*, size_t) override { return 0; }
    int read_block(uint8_t* data, size_t length, size_t& received) override {
        std::memset(data, 0x40, length);
        received = length;
        return 0;
    }
};

// Notes the time of every run of the window's events.
class GapHost : public kvr::ScriptHost {
  public:
    GapHost(std::ostream& out, kvr::Clock& clock)
        : ScriptHost(out, clock, nullptr), clock_(clock) {}
    kvr::Presses pump() override {
        note();
        return ScriptHost::pump();
    }
    void keep_alive() override { note(); }
    std::vector<uint32_t> gaps;

  private:
    void note() {
        const uint32_t now = clock_.ms();
        if (seen_) gaps.push_back(now - last_);
        last_ = now;
        seen_ = true;
    }
    kvr::Clock& clock_;
    uint32_t last_ = 0;
    bool seen_ = false;
};

// state.range(0): the guide exposure in tenths of a second.
void BM_EventGapWhileGuiding(benchmark::State& state) {
    kvr::RealClock clock;
    std::ostringstream out;
    GapHost host(out, clock);
    auto p = kvr::make_program(clock, host, "/tmp");
    p->BlockIOHandle = std::make_unique<InstantDevice>();
    p->link.got_kv = 1;
    p->run.exp_range = 't';
    p->run.exp_value = static_cast<int>(state.range(0));
    for (auto _ : state) {
        kvr::clear_messages(*p);  // the loop's stop detection between frames
        if (!kvr::camera_guide(*p)) state.SkipWithError("guide frame failed");
    }
    std::vector<uint32_t>& g = host.gaps;
    if (g.empty()) return;
    std::sort(g.begin(), g.end());
    state.counters["median_gap_ms"] = g[g.size() / 2];
    state.counters["worst_gap_ms"] = g.back();
}
BENCHMARK(BM_EventGapWhileGuiding)->Arg(5)->Arg(20)->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace
