#pragma once
// Serves a simulated device on a pseudo-terminal so that other programs can open it as a
// serial port: the terminal's device is linked at a chosen path (--sim-mount-pty PATH). A
// thread of its own answers the bytes that arrive on the simulator's timeline, at once or, for
// a device that answers late, when its answers are due.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/serial_device.h"
#include "sim/timeline.h"

namespace kvr::sim {

class SimLog;

class PtyServer {
  public:
    // Nothing and a message in `error` when the terminal or its link cannot be made. A file
    // already at `link_path` is replaced only when it is a symbolic link.
    static std::unique_ptr<PtyServer> start(const std::string& link_path, const char* log_name,
                                            std::shared_ptr<SerialDevice> device,
                                            const Timeline& timeline, std::shared_ptr<SimLog> log,
                                            std::string& error);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

  private:
    PtyServer(int master, int slave, std::string link_path, const char* log_name,
              std::shared_ptr<SerialDevice> device, const Timeline& timeline,
              std::shared_ptr<SimLog> log);
    void serve();

    int master_;
    // Held open so that the terminal stays usable while no client has it open.
    int slave_;
    std::string link_path_;
    const char* log_name_;
    std::shared_ptr<SerialDevice> device_;
    Timeline timeline_;
    std::shared_ptr<SimLog> log_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

}  // namespace kvr::sim
