#pragma once
// One camera, one driver process. A USB interface that another process has claimed refuses to
// open (the kernel's claim: EBUSY); ClaimedEnumerator turns that refusal into a plain reason. The
// simulated observatory has no kernel to claim it from, and a second process on it would start a
// second mount on the same pseudo-terminal and write the same settings and logs: CameraLock
// locks a file named for it in the drive root instead. The system drops a lock with its process.
#include <memory>
#include <string>

#include "core/block_device.h"

namespace kvr::indi {

class CameraLock {
  public:
    // The lock on `name` in `folder` (created when missing), or nullptr with `refusal` saying
    // which process holds it.
    static std::unique_ptr<CameraLock> take(const std::string& folder, const std::string& name,
                                            std::string& refusal);
    ~CameraLock();
    CameraLock(const CameraLock&) = delete;
    CameraLock& operator=(const CameraLock&) = delete;

  private:
    explicit CameraLock(int fd) : fd_(fd) {}
    int fd_;
};

// Passes everything to the enumerator it wraps and remembers why an open was refused for a
// claim.
class ClaimedEnumerator : public DeviceEnumerator {
  public:
    explicit ClaimedEnumerator(std::shared_ptr<DeviceEnumerator> inner)
        : inner_(std::move(inner)) {}
    bool begin() override { return inner_->begin(); }
    std::optional<DeviceInterfaceInfo> interface_at(int member_index) override {
        return inner_->interface_at(member_index);
    }
    std::unique_ptr<BlockDevice> open(const DeviceInterfaceInfo& info, int& error) override;
    // Why the last open failed because another program has the camera; empty otherwise.
    const std::string& refusal() const { return refusal_; }

  private:
    std::shared_ptr<DeviceEnumerator> inner_;
    std::string refusal_;
};

}  // namespace kvr::indi
