#include "sim/camera_enumerator.h"

#include <cerrno>

namespace kvr::sim {

namespace {

// An open interface: every transfer goes to the one camera, until the camera is unplugged.
class CameraHandle : public BlockDevice {
  public:
    explicit CameraHandle(std::shared_ptr<Camera> camera)
        : camera_(std::move(camera)), generation_(camera_->plug_generation()) {}
    int write_block(const uint8_t* data, size_t length) override {
        if (camera_->plug_generation() != generation_) return ENODEV;
        return camera_->write_block(data, length);
    }
    int read_block(uint8_t* data, size_t length, size_t& received) override {
        received = 0;
        if (camera_->plug_generation() != generation_) return ENODEV;
        return camera_->read_block(data, length, received);
    }

  private:
    std::shared_ptr<Camera> camera_;
    uint32_t generation_;
};

}  // namespace

CameraEnumerator::CameraEnumerator(Clock& clock, const CameraConfig& config)
    : camera_(std::make_shared<Camera>(make_sky(clock, config), config)) {}

CameraEnumerator::CameraEnumerator(std::shared_ptr<Observatory> observatory)
    : observatory_(std::move(observatory)), camera_(observatory_->camera()) {}

std::optional<DeviceInterfaceInfo> CameraEnumerator::interface_at(int member_index) {
    if (member_index != 0 || !camera_->present()) return std::nullopt;
    DeviceInterfaceInfo info;
    info.path = kPath;
    info.vid = kVendorId;
    info.pid = kProductId;
    info.manufacturer = kManufacturer;
    info.product = kProduct;
    return info;
}

std::unique_ptr<BlockDevice> CameraEnumerator::open(const DeviceInterfaceInfo& info, int& error) {
    if (info.path != kPath || !camera_->present()) {
        error = ENODEV;
        return nullptr;
    }
    error = 0;
    return std::make_unique<CameraHandle>(camera_);
}

}  // namespace kvr::sim
