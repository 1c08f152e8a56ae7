#include "headless/device_choice.h"

#include "camera/block_device.h"

namespace kvr {

std::shared_ptr<DeviceEnumerator> make_device_enumerator(const LaunchOptions& options, Clock& clock,
                                                         std::string& error) {
    (void)clock;
    if (options.camera == "sim") {
        error = "the simulated camera is not part of this build yet";
        return nullptr;
    }
    error = "USB camera access is not part of this build yet";
    return nullptr;
}

}  // namespace kvr
