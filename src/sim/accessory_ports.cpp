#include "sim/accessory_ports.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/ao_unit.h"
#include "sim/mount.h"
#include "sim/serial_line.h"
#include "sim/sim_log.h"

namespace kvr::sim {

namespace {

constexpr const char* kPortNames[2] = {"port1", "port2"};

struct RelayLine {
    uint16_t bit;
    Direction direction;
};
constexpr RelayLine kRelayLines[] = {
    {1, Direction::kWest}, {2, Direction::kSouth}, {4, Direction::kNorth}, {8, Direction::kEast}};

}  // namespace

AccessoryPorts::AccessoryPorts(Mount& mount, std::shared_ptr<SimLog> log)
    : mount_(mount), log_(std::move(log)) {}

AccessoryPorts::~AccessoryPorts() = default;

void AccessoryPorts::connect(uint16_t index, std::shared_ptr<SerialDevice> device) {
    if (index >= ports_.size()) return;
    ports_[index] = Port{};
    ports_[index].device = std::move(device);
}

void AccessoryPorts::connect(uint16_t index, std::unique_ptr<SerialLine> line) {
    if (index >= ports_.size()) return;
    ports_[index] = Port{};
    ports_[index].line = std::move(line);
}

void AccessoryPorts::relays_changed(uint16_t bits, int64_t at_ms) {
    if (log_) {
        char text[16];
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(bits));
        log_->event(at_ms, "relays", "pulse", text);
    }
    if (relay_ao_) {
        relay_ao_->parallel_lines(bits, at_ms);
    } else {
        for (const RelayLine& line : kRelayLines) {
            if ((bits ^ relay_bits_) & line.bit) {
                mount_.set_guide_input(line.direction, (bits & line.bit) != 0, at_ms);
            }
        }
    }
    relay_bits_ = bits;
}

void AccessoryPorts::serial_write(uint16_t index, const uint8_t* bytes, size_t count,
                                  int64_t at_ms) {
    if (index >= ports_.size()) return;
    if (log_) log_->bytes(at_ms, kPortNames[index], bytes, count);
    Port& port = ports_[index];
    // What arrived before this write is dropped with the rest of the unread answers.
    if (port.device) port.device->deliver(at_ms, port.unread);
    port.unread.clear();
    if (port.device) port.device->receive(bytes, count, at_ms, port.unread);
    if (port.line) port.line->write(bytes, count);
}

void AccessoryPorts::serial_read(uint16_t index, uint8_t* out, size_t count, int64_t at_ms) {
    std::memset(out, 0, count);
    if (index >= ports_.size()) return;
    Port& port = ports_[index];
    if (port.line) {
        port.line->read(out, count);
        return;
    }
    if (port.device) port.device->deliver(at_ms, port.unread);
    const size_t n = std::min(count, port.unread.size());
    std::memcpy(out, port.unread.data(), n);
    port.unread.erase(0, n);
}

}  // namespace kvr::sim
