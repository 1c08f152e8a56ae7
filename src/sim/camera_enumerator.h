#pragma once
// Presents the simulated camera on the "bus": one interface of the camera's class, product id
// 0107, at member index 0. Opening it gives a handle on the one camera, which keeps its state
// (and the sky its clock) across opens like a powered device does.
#include <memory>
#include <optional>

#include "core/block_device.h"
#include "core/clock.h"
#include "sim/camera.h"
#include "sim/observatory.h"
#include "sim/sim_config.h"

namespace kvr::sim {

class CameraEnumerator : public DeviceEnumerator {
  public:
    static constexpr uint16_t kVendorId = 0x1a2b;
    static constexpr uint16_t kProductId = 0x0107;
    static constexpr const char* kPath = "usb#vid_1a2b&pid_0107#sim";
    static constexpr const char* kManufacturer = "Simulated observatory";
    static constexpr const char* kProduct = "KVR_Q4 camera (simulated)";

    // A camera with nothing plugged in.
    CameraEnumerator(Clock& clock, const CameraConfig& config);
    // The camera of a whole simulated observatory, which lives as long as the enumerator.
    explicit CameraEnumerator(std::shared_ptr<Observatory> observatory);

    bool begin() override { return true; }
    std::optional<DeviceInterfaceInfo> interface_at(int member_index) override;
    // ENODEV for any path but the simulated camera's.
    std::unique_ptr<BlockDevice> open(const DeviceInterfaceInfo& info, int& error) override;

    Camera& camera() { return *camera_; }
    // The observatory around the camera, or nothing.
    Observatory* observatory() const { return observatory_.get(); }
    const std::shared_ptr<Camera>& shared_camera() const { return camera_; }

  private:
    std::shared_ptr<Observatory> observatory_;
    std::shared_ptr<Camera> camera_;
};

}  // namespace kvr::sim
