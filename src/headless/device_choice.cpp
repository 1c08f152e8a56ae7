#include "headless/device_choice.h"

#include "core/block_device.h"
#include "platform/libusb_device.h"
#include "sim/sim_launch.h"

namespace kvr {

std::shared_ptr<DeviceEnumerator> make_device_enumerator(const LaunchOptions& options, Clock& clock,
                                                         std::string& error) {
    if (options.camera == "sim") return sim::make_camera_enumerator(options, clock);
    // Any vendor unless KVR_Q4_USB_VID names one.
    auto usb = std::make_shared<LibusbEnumerator>();
    if (!usb->setup_error().empty()) {
        error = usb->setup_error();
        return nullptr;
    }
    return usb;
}

}  // namespace kvr
