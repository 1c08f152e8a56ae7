// The driver's worker on the simulated observatory and the real clock: guide frames and pulses
// go on while a main exposure waits, and the main frame still comes on time.
#include "indi/camera_worker.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/test_program.h"

namespace kvr::test {
namespace {

using indi::CameraWorker;
using indi::WorkerEvent;
using Kind = WorkerEvent::Kind;
using Clock = std::chrono::steady_clock;

struct Arrival {
    WorkerEvent event;
    double after_s;
};

bool is_progress(Kind k) {
    return k == Kind::Log || k == Kind::MainStarted || k == Kind::MainReadout ||
           k == Kind::GuiderStarted || k == Kind::GuiderReadout;
}

// Events other than log lines, exposure starts and readout starts (all of them with
// `progress`), each with its time since `start`, until `count` have come (or 10 s have passed).
std::vector<Arrival> collect(CameraWorker& worker, size_t count, Clock::time_point start,
                             bool progress = false) {
    std::vector<Arrival> out;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (out.size() < count && Clock::now() < deadline) {
        pollfd fd{worker.event_fd(), POLLIN, 0};
        poll(&fd, 1, 100);
        for (WorkerEvent& e : worker.take_events()) {
            if (e.kind == Kind::Log || (!progress && is_progress(e.kind))) continue;
            out.push_back({e, std::chrono::duration<double>(Clock::now() - start).count()});
        }
    }
    return out;
}

// The texts the mount's port received, with their times, from a simulator log.
std::vector<std::pair<int64_t, std::string>> read_port_bytes(const std::string& path) {
    std::vector<std::pair<int64_t, std::string>> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t mark = line.find(",port1,bytes,\"");
        if (mark == std::string::npos) continue;
        const size_t text = mark + std::strlen(",port1,bytes,\"");
        out.emplace_back(std::stoll(line.substr(0, mark)),
                         line.substr(text, line.find('"', text) - text));
    }
    return out;
}

LaunchOptions sim_options(const TempDir& drives, uint32_t download_ms) {
    LaunchOptions o;
    o.camera = "sim";
    o.sim_download_ms = download_ms;
    o.drive_root = drives.path();
    return o;
}

TEST(CameraWorkerTest, GuideFramesAndPulsesRunDuringAMainExposure) {
    TempDir drives;
    CameraWorker worker;
    const WorkerEvent connected = worker.connect(sim_options(drives, 0));
    ASSERT_EQ(connected.kind, Kind::Connected) << connected.text;
    EXPECT_EQ(connected.settings.filter_names.size(), 7u);  // the settings file's Max_Filters

    const auto start = Clock::now();
    worker.start_main(1, indi::ReadoutMode::Standard, indi::FrameWindow{}, 1500);
    worker.start_guider(7, 200);
    worker.pulse('n', 300, 'b');
    const std::vector<Arrival> got = collect(worker, 3, start);
    ASSERT_EQ(got.size(), 3u);
    // The pulse (0.3 s and the box's 0.3 s pause) holds the worker past the end of the guide
    // frame (0.2 s), which is read after it and says how long it collected light; the main
    // frame comes at its time.
    EXPECT_EQ(got[0].event.kind, Kind::PulseDone);
    EXPECT_EQ(got[0].event.direction, 'n');
    EXPECT_EQ(got[1].event.kind, Kind::GuiderFrame);
    EXPECT_EQ(got[1].event.serial, 7u);
    EXPECT_GT(got[1].event.seconds, 0.55);
    EXPECT_LT(got[1].event.seconds, 1.0);
    EXPECT_LT(got[1].after_s, 1.2);
    EXPECT_EQ(got[2].event.kind, Kind::MainFrame);
    EXPECT_EQ(got[2].event.serial, 1u);
    EXPECT_EQ(got[2].event.width, 376);
    EXPECT_EQ(got[2].event.height, 290);
    // A busy machine may make it a little late, never by the pulse.
    EXPECT_NEAR(got[2].event.seconds, 1.5, 0.2);
    EXPECT_GT(got[2].after_s, 1.45);
    EXPECT_LT(got[2].after_s, 2.0);
}

// The readout starts when the light stops: at the end of a frame the driver times, at once for
// one the camera times (whose light still falls for the exposure carried in the read). The frame
// follows after the camera's download.
TEST(CameraWorkerTest, ReadoutBeginsWhenTheLightEnds) {
    TempDir drives;
    CameraWorker worker;
    // 1000 ms a full-width field: a binned frame (both fields summed, columns paired) takes half.
    ASSERT_EQ(worker.connect(sim_options(drives, 1000)).kind, Kind::Connected);
    for (const uint32_t exposure_ms : {1500u, 400u}) {
        SCOPED_TRACE(exposure_ms);
        const auto start = Clock::now();
        worker.start_main(exposure_ms, indi::ReadoutMode::Standard, indi::FrameWindow{},
                          exposure_ms);
        std::vector<Arrival> got = collect(worker, 3, start, true);
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0].event.kind, Kind::MainStarted);
        ASSERT_EQ(got[1].event.kind, Kind::MainReadout);
        EXPECT_EQ(got[1].event.serial, exposure_ms);
        const bool camera_timed = exposure_ms < 1000;
        EXPECT_EQ(got[1].event.light_left_ms, camera_timed ? exposure_ms : 0u);
        const double light_end_s = got[1].after_s + got[1].event.light_left_ms / 1000.0;
        EXPECT_NEAR(light_end_s, exposure_ms / 1000.0, 0.1);
        ASSERT_EQ(got[2].event.kind, Kind::MainFrame);
        EXPECT_NEAR(got[2].after_s - light_end_s, 0.5, 0.15);
    }
}

// A guide frame's light starts after the head's clearing read (as long as the read of a frame),
// and lasts the exposure from there: the start is reported when it happens, so that the
// countdown a client sees does not run out during the clearing read.
TEST(CameraWorkerTest, GuiderLightStartsAfterTheClearingRead) {
    TempDir drives;
    CameraWorker worker;
    ASSERT_EQ(worker.connect(sim_options(drives, 1000)).kind, Kind::Connected);
    const auto start = Clock::now();
    worker.start_guider(3, 800);
    std::vector<Arrival> got = collect(worker, 3, start, true);
    ASSERT_EQ(got.size(), 3u);
    ASSERT_EQ(got[0].event.kind, Kind::GuiderStarted);
    EXPECT_EQ(got[0].event.serial, 3u);
    ASSERT_EQ(got[1].event.kind, Kind::GuiderReadout);
    ASSERT_EQ(got[2].event.kind, Kind::GuiderFrame);
    const double clearing_s = got[0].after_s;
    const double read_s = got[2].after_s - got[1].after_s;
    EXPECT_GT(read_s, 0.2);
    EXPECT_NEAR(clearing_s, read_s, 0.15);
    EXPECT_NEAR(got[1].after_s - clearing_s, 0.8, 0.1);
    EXPECT_NEAR(got[2].event.seconds, 0.8, 0.1);
}

// LX200 pulses on the two axes overlap: the second's move starts while the first runs, each is
// stopped after its own length (the simulated mount's log of the bytes it received says when),
// and both are done when the longer one is. A second pulse on a moving axis waits its turn.
TEST(CameraWorkerTest, Lx200PulsesOnTheTwoAxesRunAtOnce) {
    TempDir drives;
    LaunchOptions o = sim_options(drives, 0);
    const std::string log = drives.path() + "/sim.csv";
    o.sim.log_path = log;
    o.sim.atmosphere = false;
    {
        CameraWorker worker;
        ASSERT_EQ(worker.connect(o).kind, Kind::Connected);
        const auto start = Clock::now();
        worker.pulse('e', 400, 'l');
        worker.pulse('n', 250, 'l');
        worker.pulse('s', 200, 'l');
        const std::vector<Arrival> got = collect(worker, 3, start);
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0].event.direction, 'n');
        EXPECT_EQ(got[1].event.direction, 'e');
        EXPECT_EQ(got[2].event.direction, 's');
        // One after the other they would take 0.42 + 0.27 + 0.22 s; the south pulse follows the
        // north one on its axis and ends about 0.5 s in.
        EXPECT_LT(got[1].after_s, 0.5);
        EXPECT_LT(got[2].after_s, 0.65);
    }
    const std::vector<std::pair<int64_t, std::string>> bytes = read_port_bytes(log);
    auto at = [&bytes](const std::string& text) {
        for (const auto& [t, b] : bytes)
            if (b == text) return t;
        ADD_FAILURE() << text << " not received";
        return int64_t{0};
    };
    EXPECT_NEAR(at("#:Qe#") - at("#:Me#"), 400, 15);
    EXPECT_NEAR(at("#:Qn#") - at("#:Mn#"), 250, 15);
    EXPECT_NEAR(at("#:Qs#") - at("#:Ms#"), 200, 15);
    EXPECT_LT(at("#:Mn#"), at("#:Qe#"));
    EXPECT_GE(at("#:Ms#"), at("#:Qn#"));
}

}  // namespace
}  // namespace kvr::test
