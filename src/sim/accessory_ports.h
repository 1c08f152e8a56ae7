#pragma once
// What is plugged into the simulated camera: a device (or a real serial line) on each of its two
// serial pass-through ports, and the relay box's four lines wired to the mount's guide inputs
// (west 1, south 2, north 4, east 8) or to the AO unit's parallel input.
//
// A port keeps the answer to the last write only: a write empties what the port had received
// and not yet been read, so a read after a command gets that command's answer. An answer a
// device sends late is received when it is due: a read before then does not see it, and a
// write after it drops it unread.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/camera.h"
#include "sim/serial_device.h"

namespace kvr::sim {

class Mount;
class AoUnit;
class SimLog;
class SerialLine;

class AccessoryPorts : public CameraPorts {
  public:
    AccessoryPorts(Mount& mount, std::shared_ptr<SimLog> log);
    ~AccessoryPorts() override;

    // Port `index` (0 or 1) talks to `device`, or to an open serial line.
    void connect(uint16_t index, std::shared_ptr<SerialDevice> device);
    void connect(uint16_t index, std::unique_ptr<SerialLine> line);
    // The relay lines drive the AO unit's parallel input instead of the mount.
    void wire_relays_to(AoUnit* ao) { relay_ao_ = ao; }

    void relays_changed(uint16_t bits, int64_t at_ms) override;
    void serial_write(uint16_t port, const uint8_t* bytes, size_t count, int64_t at_ms) override;
    void serial_read(uint16_t port, uint8_t* out, size_t count, int64_t at_ms) override;

  private:
    struct Port {
        std::shared_ptr<SerialDevice> device;
        std::unique_ptr<SerialLine> line;
        std::string unread;
    };

    Mount& mount_;
    std::shared_ptr<SimLog> log_;
    AoUnit* relay_ao_ = nullptr;
    uint16_t relay_bits_ = 0;
    std::array<Port, 2> ports_;
};

}  // namespace kvr::sim
