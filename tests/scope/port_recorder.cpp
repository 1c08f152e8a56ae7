#include "scope/port_recorder.h"

#include "camera/usb_link.h"
#include "sim/camera_enumerator.h"

namespace kvr::test {

void PortRecorder::relays_changed(uint16_t bits, int64_t at_ms) {
    relays.push_back({bits, at_ms});
}

void PortRecorder::serial_write(uint16_t port, const uint8_t* bytes, size_t count, int64_t at_ms) {
    writes.push_back({port, std::string(reinterpret_cast<const char*>(bytes), count), at_ms});
}

void PortRecorder::serial_read(uint16_t port, uint8_t* out, size_t count, int64_t) {
    auto& queue = pending[port];
    for (size_t i = 0; i < count; ++i) {
        out[i] = queue.empty() ? 0 : queue.front();
        if (!queue.empty()) queue.pop_front();
    }
}

void PortRecorder::answer(int port, const std::string& bytes) {
    pending[port].insert(pending[port].end(), bytes.begin(), bytes.end());
}

std::vector<std::string> PortRecorder::texts() const {
    std::vector<std::string> out;
    for (const Write& w : writes) out.push_back(w.bytes);
    return out;
}

ScopeTest::ScopeTest() {
    auto bus = std::make_shared<sim::CameraEnumerator>(clock, sim::CameraConfig{});
    bus->camera().attach_ports(rec);
    p.devices = bus;
    EXPECT_TRUE(find_camera(p));
    clock.advance(1000);
}

}  // namespace kvr::test
