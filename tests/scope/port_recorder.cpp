#include "scope/port_recorder.h"

#include <algorithm>

#include "camera/usb_link.h"
#include "sim/camera_enumerator.h"

namespace kvr::test {

void PortRecorder::relays_changed(uint16_t bits, int64_t at_ms) {
    relays.push_back({bits, at_ms});
}

void PortRecorder::serial_write(uint16_t port, const uint8_t* bytes, size_t count, int64_t at_ms) {
    const std::string text(reinterpret_cast<const char*>(bytes), count);
    writes.push_back({port, text, at_ms});
    if (replies_.empty() || port != 0) return;
    arrive(at_ms);
    pending[0].clear();
    const auto reply = replies_.find(text);
    if (reply == replies_.end()) return;
    // A mount answers in order: a quick answer waits behind a slow one.
    int64_t due = at_ms + reply->second.delay_ms;
    if (!due_.empty()) due = std::max(due, due_.back().at_ms);
    due_.push_back({due, reply->second.bytes});
}

void PortRecorder::arrive(int64_t at_ms) {
    while (!due_.empty() && due_.front().at_ms <= at_ms) {
        pending[0].insert(pending[0].end(), due_.front().bytes.begin(), due_.front().bytes.end());
        due_.pop_front();
    }
}

void PortRecorder::reply_to(const std::string& command, const std::string& bytes,
                            int64_t delay_ms) {
    replies_[command] = {bytes, delay_ms};
}

void PortRecorder::serial_read(uint16_t port, uint8_t* out, size_t count, int64_t at_ms) {
    if (port == 0) arrive(at_ms);
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
