// Rendering reads of the simulated camera: each iteration is one frame's command blocks and their
// whole replies (light collected for one second, noise on). Read them against the memcpy of the
// same frame (BM_FrameMemcpy, BM_MemcpyField for one full-width field, same run) and against the
// camera itself, which needs about 3 s to send one full-width field.
#include <benchmark/benchmark.h>

#include <vector>

#include "camera/camera_protocol.h"
#include "sim/camera.h"

namespace {

using namespace kvr;

std::vector<uint8_t> camera_timed_read(uint16_t field, uint16_t head, uint16_t x, uint16_t y,
                                       uint16_t width, uint16_t height, uint8_t bin_x,
                                       uint32_t delay_ms) {
    std::vector<uint8_t> b(kReadAfterDelayBlockBytes, 0);
    b[kOffsetRequestType] = kRequestTypeOut;
    b[kOffsetCommand] = kCmdReadAfterDelay;
    put_le16(&b[kOffsetValue], field);
    put_le16(&b[kOffsetIndex], head);
    put_le16(&b[kOffsetLength], kReadAfterDelayParameterBytes);
    put_le16(&b[kOffsetReadX], x);
    put_le16(&b[kOffsetReadY], y);
    put_le16(&b[kOffsetReadWidth], width);
    put_le16(&b[kOffsetReadHeight], height);
    b[kOffsetReadBinX] = bin_x;
    b[kOffsetReadBinY] = 1;
    put_le32(&b[kOffsetReadDelay], delay_ms);
    return b;
}

// One frame per iteration: each of `commands` and its whole reply of `reply_bytes`, with the sky
// drifting at `drift_px_per_s` (2 px/s trails every star over the one-second exposure).
void BM_SimRead(benchmark::State& state, const std::vector<std::vector<uint8_t>>& commands,
                size_t reply_bytes, double drift_px_per_s) {
    VirtualClock clock;
    sim::CameraConfig config;
    config.behaviour.download_ms_per_field = 0;
    config.drift_x_px_per_s = drift_px_per_s;
    sim::Camera camera(sim::make_sky(clock, config), config);
    std::vector<uint8_t> reply(reply_bytes);
    for (auto _ : state) {
        for (const std::vector<uint8_t>& command : commands) {
            camera.write_block(command.data(), command.size());
            size_t received = 0;
            camera.read_block(reply.data(), reply.size(), received);
            benchmark::DoNotOptimize(reply.data());
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(reply_bytes * commands.size()));
}
std::vector<std::vector<uint8_t>> one_read(uint16_t field, uint16_t head, uint16_t x, uint16_t y,
                                           uint16_t width, uint16_t height, uint8_t bin_x) {
    return {camera_timed_read(field, head, x, y, width, height, bin_x, 1000)};
}
BENCHMARK_CAPTURE(BM_SimRead, full_field, one_read(kField1, kHeadMain, 0, 0, 752, 290, 1),
                  kFieldReplyBytes, 0.0)
    ->Unit(benchmark::kMillisecond);
// The whole 752 × 580 frame: both fields, one read each (read against BM_FrameMemcpy/1).
BENCHMARK_CAPTURE(BM_SimRead, full_frame,
                  std::vector{camera_timed_read(kField1, kHeadMain, 0, 0, 752, 290, 1, 1000),
                              camera_timed_read(kField2, kHeadMain, 0, 0, 752, 290, 1, 1000)},
                  kFieldReplyBytes, 0.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SimRead, trailed_full_field, one_read(kField1, kHeadMain, 0, 0, 752, 290, 1),
                  kFieldReplyBytes, 2.0)
    ->Unit(benchmark::kMillisecond);
// The 376 × 290 binned frame (read against BM_FrameMemcpy/0, its memcpy).
BENCHMARK_CAPTURE(BM_SimRead, binned, one_read(kFieldBoth, kHeadMain, 0, 0, 752, 290, 2),
                  kBinnedReplyBytes, 0.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SimRead, focus_window, one_read(kField1, kHeadMain, 312, 65, 128, 128, 1),
                  kWindowReplyBytes, 0.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SimRead, guider, one_read(kFieldBoth, kHeadGuider, 0, 0, 500, 290, 1),
                  kGuiderReplyBytes, 0.0)
    ->Unit(benchmark::kMillisecond);

}  // namespace
