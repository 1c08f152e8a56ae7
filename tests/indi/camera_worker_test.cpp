// The driver's worker on the simulated observatory and the real clock: guide frames and pulses
// go on while a main exposure waits, and the main frame still comes on time.
#include "indi/camera_worker.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
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

// Events other than log lines and exposure starts, each with its time since `start`, until
// `count` have come (or 10 s have passed).
std::vector<Arrival> collect(CameraWorker& worker, size_t count, Clock::time_point start) {
    std::vector<Arrival> out;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (out.size() < count && Clock::now() < deadline) {
        pollfd fd{worker.event_fd(), POLLIN, 0};
        poll(&fd, 1, 100);
        for (WorkerEvent& e : worker.take_events()) {
            if (e.kind == Kind::Log || e.kind == Kind::MainStarted) continue;
            out.push_back({e, std::chrono::duration<double>(Clock::now() - start).count()});
        }
    }
    return out;
}

TEST(CameraWorkerTest, GuideFramesAndPulsesRunDuringAMainExposure) {
    TempDir drives;
    LaunchOptions o;
    o.camera = "sim";
    o.sim_download_ms = 0;
    o.drive_root = drives.path();
    CameraWorker worker;
    const WorkerEvent connected = worker.connect(o);
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

}  // namespace
}  // namespace kvr::test
