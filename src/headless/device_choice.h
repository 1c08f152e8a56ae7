#pragma once
// Chooses the camera interface behind --camera: the simulated observatory or the USB bus.
#include <memory>
#include <string>

#include "core/options.h"

namespace kvr {

class Clock;
class DeviceEnumerator;

// nullptr (with `error` set) when the choice is not available in this build.
std::shared_ptr<DeviceEnumerator> make_device_enumerator(const LaunchOptions& options, Clock& clock,
                                                         std::string& error);

}  // namespace kvr
