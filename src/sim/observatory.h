#pragma once
// The simulated observatory: one sky seen by both camera heads, the mount that decides where
// they look, the AO unit, the filter wheel, the relay box and the camera's serial ports, on the
// shared clock. Built from its settings; what could not be set up (a log file, a serial device,
// a pseudo-terminal) is left out and said in error().
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "sim/accessory_ports.h"
#include "sim/ao_unit.h"
#include "sim/camera.h"
#include "sim/mount.h"
#include "sim/observatory_config.h"
#include "sim/pointing_view.h"
#include "sim/sim_log.h"
#include "sim/sky.h"

namespace kvr::sim {

class FilterWheel;
class PtyServer;

class Observatory {
  public:
    Observatory(Clock& clock, const ObservatoryConfig& config);
    ~Observatory();
    Observatory(const Observatory&) = delete;
    Observatory& operator=(const Observatory&) = delete;

    // Everything that could not be set up, one message per line (empty: all is well).
    const std::string& error() const { return error_; }

    const std::shared_ptr<Camera>& camera() const { return camera_; }
    Sky& sky() { return *sky_; }
    Mount& mount() { return *mount_; }
    AoUnit& ao() { return *ao_; }
    FilterWheel& filter_wheel() { return *wheel_; }
    PointingView& pointing() { return *pointing_; }

  private:
    void add_error(const std::string& message);
    void wire_port(size_t index, const ObservatoryConfig& config);

    std::string error_;
    std::shared_ptr<SimLog> log_;
    std::shared_ptr<Sky> sky_;
    std::unique_ptr<Mount> mount_;
    std::shared_ptr<AoUnit> ao_;
    std::shared_ptr<FilterWheel> wheel_;
    std::shared_ptr<PointingView> pointing_;
    std::shared_ptr<Camera> camera_;
    std::shared_ptr<AccessoryPorts> ports_;
    // Pseudo-terminals go last: their threads stop before the devices they serve are gone.
    std::vector<std::unique_ptr<PtyServer>> ptys_;
};

}  // namespace kvr::sim
