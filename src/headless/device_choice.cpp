#include "headless/device_choice.h"

#include "camera/block_device.h"
#include "platform/libusb_device.h"

namespace kvr {

std::shared_ptr<DeviceEnumerator> make_device_enumerator(const LaunchOptions& options, Clock& clock,
                                                         std::string& error) {
    (void)clock;
    if (options.camera == "sim") {
        error = "the simulated camera is not part of this build yet";
        return nullptr;
    }
    // Any vendor unless KVR_Q4_USB_VID names one.
    auto usb = std::make_shared<LibusbEnumerator>();
    if (!usb->setup_error().empty()) {
        error = usb->setup_error();
        return nullptr;
    }
    return usb;
}

}  // namespace kvr
