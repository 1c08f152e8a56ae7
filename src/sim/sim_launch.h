#pragma once
// The simulated observatory as the command line asks for it.
#include <memory>

#include "core/clock.h"
#include "core/options.h"
#include "sim/camera_enumerator.h"
#include "sim/observatory_config.h"
#include "sim/sim_config.h"

namespace kvr::sim {

// Default settings with the seed, download time and drift of the options.
CameraConfig camera_config(const LaunchOptions& options);
// The whole observatory's settings from the options.
ObservatoryConfig observatory_config(const LaunchOptions& options);

// The camera of a simulated observatory; what could not be set up is reported on standard error.
std::shared_ptr<CameraEnumerator> make_camera_enumerator(const LaunchOptions& options,
                                                         Clock& clock);

}  // namespace kvr::sim
