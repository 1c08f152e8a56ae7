// The handling of the camera's replies: every read of the model query, the echo, the frame,
// window and guider reads, the focus measurement and the serial pass-through, against a device
// whose replies come from the input. Each reply starts with a control byte: 0xFF fails the
// transfer, bit 7 set gives a short reply of (byte & 0x7F) bytes, otherwise the full reply is
// the following input bytes repeated. An exhausted input times out, as a silent camera does.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "core/block_device.h"
#include "fuzz_program.h"

namespace {

class ReplayDevice : public kvr::BlockDevice {
  public:
    ReplayDevice(const uint8_t* data, size_t size) : at_(data), left_(size) {}
    int write_block(const uint8_t*, size_t) override { return 0; }
    int read_block(uint8_t* data, size_t length, size_t& received) override {
        received = 0;
        if (left_ == 0) return ETIMEDOUT;
        const uint8_t control = take();
        if (control == 0xFF) return EIO;
        if (control & 0x80) {
            const size_t n = std::min<size_t>({control & 0x7Fu, length, left_});
            std::memcpy(data, at_, n);
            skip(n);
            received = n;
            return n == length ? 0 : EIO;
        }
        const size_t pattern = std::min<size_t>(left_, control + 1u);
        for (size_t i = 0; i < length && pattern > 0; ++i) data[i] = at_[i % pattern];
        skip(pattern);
        received = length;
        return 0;
    }

  private:
    uint8_t take() {
        --left_;
        return *at_++;
    }
    void skip(size_t n) {
        at_ += n;
        left_ -= n;
    }
    const uint8_t* at_;
    size_t left_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    p.BlockIOHandle = std::make_unique<ReplayDevice>(data, size);
    p.link.got_kv = 1;
    p.link.OpenUSBinterfaces = 1;
    kvr::GetCCDType(p);
    kvr::EchoCCD(p);
    kvr::KV_binned_read(p);
    kvr::KV_first_read(p);
    kvr::KV_focus_read(p);
    kvr::KV_camera_read(p);
    kvr::KV_guider_camera_read(p);
    kvr::ReadSerial(p, 1, 33);
    kvr::CheckSerialReturn(p, 1);
    p.BlockIOHandle.reset();
    return 0;
}
