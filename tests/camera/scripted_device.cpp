#include "camera/scripted_device.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvr::test {

std::string hex_dump(const uint8_t* data, size_t length) {
    std::string out;
    char cell[24];
    for (size_t i = 0; i < length; ++i) {
        if (i % 16 == 0) {
            std::snprintf(cell, sizeof cell, "%s%04zx:", i ? "\n" : "", i);
            out += cell;
        }
        std::snprintf(cell, sizeof cell, " %02x", data[i]);
        out += cell;
    }
    return out;
}

void Conversation::expect_done() const {
    EXPECT_TRUE(steps.empty()) << steps.size() << " scripted transfers did not happen; next is a "
                               << (steps.front().is_write ? "write of\n" : "read of ")
                               << (steps.front().is_write
                                       ? hex_dump(steps.front().bytes.data(),
                                                  steps.front().bytes.size())
                                       : std::to_string(steps.front().bytes.size()) + " bytes");
}

int ScriptedDevice::write_block(const uint8_t* data, size_t length) {
    ++c_->writes;
    if (c_->steps.empty() || !c_->steps.front().is_write) {
        ADD_FAILURE() << "unexpected write of\n" << hex_dump(data, length);
        return EIO;
    }
    const Conversation::Step step = c_->steps.front();
    c_->steps.pop_front();
    if (length != step.bytes.size() || std::memcmp(data, step.bytes.data(), length) != 0) {
        ADD_FAILURE() << "write " << c_->writes << " differs\nexpected:\n"
                      << hex_dump(step.bytes.data(), step.bytes.size()) << "\nactual:\n"
                      << hex_dump(data, length);
    }
    return step.error;
}

int ScriptedDevice::read_block(uint8_t* data, size_t length, size_t& received) {
    ++c_->reads;
    received = 0;
    if (c_->steps.empty() || c_->steps.front().is_write) {
        ADD_FAILURE() << "unexpected read of " << length << " bytes";
        return ETIMEDOUT;
    }
    const Conversation::Step step = c_->steps.front();
    c_->steps.pop_front();
    if (step.error != 0) return step.error;
    EXPECT_EQ(length, step.bytes.size()) << "read " << c_->reads << " asks for the wrong size";
    received = std::min(length, step.bytes.size() - step.short_by);
    std::memcpy(data, step.bytes.data(), received);
    if (c_->clock) c_->clock->advance(step.advance_ms);
    return received == length ? 0 : EIO;
}

std::optional<DeviceInterfaceInfo> ScriptedEnumerator::interface_at(int member_index) {
    auto it = at_.find(member_index);
    if (it == at_.end()) return std::nullopt;
    return it->second;
}

std::unique_ptr<BlockDevice> ScriptedEnumerator::open(const DeviceInterfaceInfo& info, int& error) {
    opened.push_back(info.path);
    error = open_error;
    if (open_error != 0) return nullptr;
    auto own = own_.find(info.path);
    return std::make_unique<ScriptedDevice>(own != own_.end() ? own->second : c_);
}

DeviceInterfaceInfo camera_interface(const std::string& vid, const std::string& pid,
                                     const std::string& tail) {
    DeviceInterfaceInfo info;
    info.path = "usb#vid_" + vid + "&pid_" + pid + "#" + tail;
    info.vid = static_cast<uint16_t>(std::stoul(vid, nullptr, 16));
    info.pid = static_cast<uint16_t>(std::stoul(pid, nullptr, 16));
    info.manufacturer = "Maker";
    info.product = "Camera " + pid;
    return info;
}

CameraLinkTest::CameraLinkTest() {
    talk->clock = &clock;
    p.BlockIOHandle = std::make_unique<ScriptedDevice>(talk);
    p.link.got_kv = 1;
    p.link.OpenUSBinterfaces = 1;
}

CameraLinkTest::~CameraLinkTest() {
    talk->expect_done();
}

void CameraLinkTest::finish_conversation() {
    talk->expect_done();
    talk->steps.clear();
}

}  // namespace kvr::test
