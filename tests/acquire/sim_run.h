#pragma once
// Camera runs against the simulated camera on the virtual clock, driven through the script
// host as the headless front end drives them. The camera is tapped: every command block the
// program sends is recorded, and chosen pixel reads can be made to fail.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/block_device.h"
#include "sim/camera_enumerator.h"
#include "sim/sim_config.h"
#include "support/test_program.h"

namespace kvr::test {

struct SentCommand {
    uint8_t code = 0;
    uint16_t value = 0;  // field selector of a read
    uint16_t index = 0;  // camera head
    uint16_t bin_x = 0;
    uint32_t delay_ms = 0;  // camera-timed reads
    uint32_t at_ms = 0;     // virtual time when sent
};

class TappedCamera : public DeviceEnumerator {
  public:
    TappedCamera(Clock& clock, const sim::CameraConfig& config)
        : clock_(clock), sim_(clock, config) {}

    bool begin() override { return sim_.begin(); }
    std::optional<DeviceInterfaceInfo> interface_at(int member_index) override {
        return sim_.interface_at(member_index);
    }
    std::unique_ptr<BlockDevice> open(const DeviceInterfaceInfo& info, int& error) override;

    sim::Camera& camera() { return sim_.camera(); }
    // Main-camera pixel reads sent so far (commands 2 and 3 on head 0).
    std::vector<SentCommand> main_reads() const;
    std::vector<SentCommand> sent;
    // Numbers (from 1) of the main-camera pixel reads whose reply is lost: the camera sends it,
    // the program's read fails with EIO.
    std::set<int> failing_reads;
    // Called with its number as each main-camera pixel read is sent.
    std::function<void(int)> before_main_read;

  private:
    friend class TapHandle;
    Clock& clock_;
    sim::CameraEnumerator sim_;
    int main_reads_seen_ = 0;
    bool fail_next_reply_ = false;
};

// No noise, no drift, no download time: frames are exactly reproducible.
void quiet_camera(sim::CameraConfig& c);

class SimRunTest : public ProgramTest {
  protected:
    explicit SimRunTest(void (*adjust)(sim::CameraConfig&) = quiet_camera);

    // Opens the camera dialog with the given actions, then "Take Photo"; returns the output (also
    // kept in `log`).
    std::string take_photo(const std::string& dialog_actions = "");
    // Frames shown so far by the runs of take_photo (each display refresh sets the caption).
    size_t frames_shown() const;
    std::string log;
    uint16_t pixel(int x, int y) const { return p.buf->image_int[y * p.geo.width1 + x]; }
    std::vector<SentCommand> reads() const { return camera->main_reads(); }
    // As a star pick does: the focus star of the simulated sky, in full-frame coordinates.
    void pick_focus_star() {
        p.guide.xcent = kFocusStarX;
        p.guide.ycent = kFocusStarY;
    }
    static constexpr int kFocusStarX = 376;
    static constexpr int kFocusStarY = 258;

    sim::CameraConfig config;
    std::shared_ptr<TappedCamera> camera;
};

// Lines of `output` that start with `prefix`.
std::vector<std::string> lines_starting(const std::string& output, const std::string& prefix);

}  // namespace kvr::test
