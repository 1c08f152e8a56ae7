#pragma once
// The simulated observatory as the command line asks for it.
#include <memory>

#include "core/clock.h"
#include "core/options.h"
#include "sim/camera_enumerator.h"
#include "sim/sim_config.h"

namespace kvr::sim {

// Default settings with the seed, download time and drift of the options.
CameraConfig camera_config(const LaunchOptions& options);

inline std::shared_ptr<CameraEnumerator> make_camera_enumerator(const LaunchOptions& options,
                                                                Clock& clock) {
    return std::make_shared<CameraEnumerator>(clock, camera_config(options));
}

}  // namespace kvr::sim
