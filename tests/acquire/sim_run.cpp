#include "acquire/sim_run.h"

#include <cerrno>
#include <sstream>

#include "camera/camera_protocol.h"
#include "sim/sim_rig.h"

namespace kvr::test {

class TapHandle : public BlockDevice {
  public:
    TapHandle(TappedCamera& tap, std::unique_ptr<BlockDevice> device)
        : tap_(tap), device_(std::move(device)) {}

    int write_block(const uint8_t* data, size_t length) override {
        if (length >= kCommandHeaderBytes) {
            SentCommand c;
            c.code = data[kOffsetCommand];
            c.value = get_le16(data + kOffsetValue);
            c.index = get_le16(data + kOffsetIndex);
            if (length > kOffsetReadBinX) c.bin_x = data[kOffsetReadBinX];
            if (c.code == kCmdReadAfterDelay && length >= kOffsetReadDelay + 4)
                c.delay_ms = get_le32(data + kOffsetReadDelay);
            c.at_ms = tap_.clock_.ms();
            tap_.sent.push_back(c);
            const bool pixel_read = c.code == kCmdReadAfterDelay || c.code == kCmdReadNow;
            if (pixel_read && c.index == kHeadMain) {
                tap_.fail_next_reply_ = tap_.failing_reads.count(++tap_.main_reads_seen_) != 0;
                if (tap_.before_main_read) tap_.before_main_read(tap_.main_reads_seen_);
            }
        }
        return device_->write_block(data, length);
    }

    int read_block(uint8_t* data, size_t length, size_t& received) override {
        const int result = device_->read_block(data, length, received);
        if (!tap_.fail_next_reply_) return result;
        tap_.fail_next_reply_ = false;
        received = 0;
        return EIO;
    }

  private:
    TappedCamera& tap_;
    std::unique_ptr<BlockDevice> device_;
};

std::unique_ptr<BlockDevice> TappedCamera::open(const DeviceInterfaceInfo& info, int& error) {
    auto device = sim_.open(info, error);
    if (!device) return nullptr;
    return std::make_unique<TapHandle>(*this, std::move(device));
}

std::vector<SentCommand> TappedCamera::main_reads() const {
    std::vector<SentCommand> out;
    for (const auto& c : sent)
        if ((c.code == kCmdReadAfterDelay || c.code == kCmdReadNow) && c.index == kHeadMain)
            out.push_back(c);
    return out;
}

void quiet_camera(sim::CameraConfig& c) {
    sim::test::noiseless(c);
    c.behaviour.download_ms_per_field = 0;
}

SimRunTest::SimRunTest(void (*adjust)(sim::CameraConfig&)) {
    if (adjust) adjust(config);
    camera = std::make_shared<TappedCamera>(clock, config);
    p.devices = camera;
    host.set_show_progress(true);
}

std::string SimRunTest::take_photo(const std::string& dialog_actions) {
    const std::string out = run_script("dialog 7 " + dialog_actions + " click 1\ncommand 12\n");
    log += out;
    return out;
}

size_t SimRunTest::frames_shown() const {
    return lines_starting(log, "caption: KVR_Q4_USB - QX Camera Image").size();
}

std::vector<std::string> lines_starting(const std::string& output, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

}  // namespace kvr::test
