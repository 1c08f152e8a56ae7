#include "sim/sim_launch.h"

namespace kvr::sim {

CameraConfig camera_config(const LaunchOptions& options) {
    CameraConfig c;
    c.seed = options.sim_seed;
    c.behaviour.download_ms_per_field = options.sim_download_ms;
    c.drift_x_px_per_s = options.sim_drift_x_px_per_s;
    c.drift_y_px_per_s = options.sim_drift_y_px_per_s;
    return c;
}

}  // namespace kvr::sim
