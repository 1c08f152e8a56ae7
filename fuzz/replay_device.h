#pragma once
// Devices whose answers come from the fuzzer's input, consumed in order by every device of one
// run. A camera reply starts with a control byte: 0xFF fails the transfer, bit 7 set gives a
// short reply of (byte & 0x7F) bytes, otherwise the full reply is the following (byte + 1)
// input bytes repeated. A serial read takes a control byte too: 0xFF fails with EIO, otherwise
// up to (byte % 64) bytes arrive. An exhausted input times out, as a silent device does.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/block_device.h"
#include "core/program.h"
#include "core/serial_port.h"

namespace kvr::fuzz {

class ReplayInput {
  public:
    ReplayInput(const uint8_t* data, size_t size) : at_(data), left_(size) {}
    bool empty() const { return left_ == 0; }
    size_t left() const { return left_; }
    const uint8_t* at() const { return at_; }
    uint8_t take() {
        --left_;
        return *at_++;
    }
    void skip(size_t n) {
        at_ += n;
        left_ -= n;
    }

  private:
    const uint8_t* at_;
    size_t left_;
};

class ReplayDevice : public BlockDevice {
  public:
    explicit ReplayDevice(ReplayInput& input) : in_(input) {}
    int write_block(const uint8_t*, size_t) override { return 0; }
    int read_block(uint8_t* data, size_t length, size_t& received) override {
        received = 0;
        if (in_.empty()) return ETIMEDOUT;
        const uint8_t control = in_.take();
        if (control == 0xFF) return EIO;
        if (control & 0x80) {
            const size_t n = std::min<size_t>({control & 0x7Fu, length, in_.left()});
            std::memcpy(data, in_.at(), n);
            in_.skip(n);
            received = n;
            return n == length ? 0 : EIO;
        }
        const size_t pattern = std::min<size_t>(in_.left(), control + 1u);
        // The pattern, then copies of what is filled so far: whole fields at memcpy speed.
        size_t filled = std::min(pattern, length);
        if (filled > 0) std::memcpy(data, in_.at(), filled);
        while (filled > 0 && filled < length) {
            const size_t n = std::min(filled, length - filled);
            std::memcpy(data + filled, data, n);
            filled += n;
        }
        in_.skip(pattern);
        received = length;
        return 0;
    }

  private:
    ReplayInput& in_;
};

// The program's camera, found and open, answering from `input`.
inline void connect_replay_camera(Program& p, ReplayInput& input) {
    p.BlockIOHandle = std::make_unique<ReplayDevice>(input);
    p.link.got_kv = 1;
    p.link.OpenUSBinterfaces = 1;
}

class ReplaySerialPort : public SerialPort {
  public:
    explicit ReplaySerialPort(ReplayInput& input) : in_(input) {}
    int open(const std::string&) override {
        open_ = true;
        return 0;
    }
    int set_baud(int) override { return 0; }
    int set_format(int, Parity, int) override { return 0; }
    int set_dtr(bool) override { return 0; }
    int set_rts(bool) override { return 0; }
    int write(const uint8_t*, size_t count, uint32_t) override { return static_cast<int>(count); }
    int read(uint8_t* out, size_t capacity, uint32_t) override {
        if (in_.empty()) return 0;
        const uint8_t control = in_.take();
        if (control == 0xFF) return -EIO;
        const size_t n = std::min<size_t>({control % 64u, capacity, in_.left()});
        std::memcpy(out, in_.at(), n);
        in_.skip(n);
        return static_cast<int>(n);
    }
    int discard_input() override { return 0; }
    void close() override { open_ = false; }
    bool is_open() const override { return open_; }

  private:
    ReplayInput& in_;
    bool open_ = false;
};

}  // namespace kvr::fuzz
