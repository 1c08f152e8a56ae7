// One camera, one driver process: a second worker on the same simulated observatory, or on a USB
// interface another program has claimed, is refused with the reason, and the camera is free
// again once the first lets it go.
#include "indi/camera_claim.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "indi/camera_worker.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using indi::CameraWorker;
using Kind = indi::WorkerEvent::Kind;

TEST(CameraClaimTest, ASecondWorkerOnTheSimulatedObservatoryIsRefused) {
    TempDir drives;
    LaunchOptions o;
    o.camera = "sim";
    o.sim_download_ms = 0;
    o.drive_root = drives.path();
    auto first = std::make_unique<CameraWorker>();
    ASSERT_EQ(first->connect(o).kind, Kind::Connected);
    CameraWorker second;
    const indi::WorkerEvent refused = second.connect(o);
    EXPECT_EQ(refused.kind, Kind::ConnectFailed);
    EXPECT_NE(refused.text.find("in use by another process (process " + std::to_string(getpid())),
              std::string::npos)
        << refused.text;
    // Another observatory (another drive root) is another camera.
    TempDir elsewhere;
    LaunchOptions other = o;
    other.drive_root = elsewhere.path();
    CameraWorker third;
    EXPECT_EQ(third.connect(other).kind, Kind::Connected);
    first.reset();
    EXPECT_EQ(second.connect(o).kind, Kind::Connected);
}

// A USB interface claimed by another process refuses to open with EBUSY, as the kernel does.
struct ClaimedElsewhere : DeviceEnumerator {
    bool begin() override { return true; }
    std::optional<DeviceInterfaceInfo> interface_at(int) override { return DeviceInterfaceInfo{}; }
    std::unique_ptr<BlockDevice> open(const DeviceInterfaceInfo&, int& error) override {
        error = busy ? EBUSY : ENODEV;
        return nullptr;
    }
    bool busy = true;
};

TEST(CameraClaimTest, AClaimedUsbInterfaceSaysSo) {
    auto usb = std::make_shared<ClaimedElsewhere>();
    indi::ClaimedEnumerator claimed(usb);
    int error = 0;
    EXPECT_EQ(claimed.open({}, error), nullptr);
    EXPECT_EQ(error, EBUSY);
    EXPECT_NE(claimed.refusal().find("claimed by another program"), std::string::npos);
    usb->busy = false;
    EXPECT_EQ(claimed.open({}, error), nullptr);
    EXPECT_TRUE(claimed.refusal().empty());
}

}  // namespace
}  // namespace kvr::test
