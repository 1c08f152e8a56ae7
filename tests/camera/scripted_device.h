#pragma once
// A scripted camera for protocol tests: implements the production BlockDevice and
// DeviceEnumerator and replays an expected conversation of transfers. Every write is compared with
// the next expected write (the bytes of both are dumped on a mismatch); every read is answered
// from the script or fails as scripted.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/block_device.h"
#include "core/clock.h"
#include "support/test_program.h"

namespace kvr::test {

using Bytes = std::vector<uint8_t>;

// Hex dump, 16 bytes a line with offsets.
std::string hex_dump(const uint8_t* data, size_t length);

struct Conversation {
    struct Step {
        bool is_write = true;
        Bytes bytes;              // expected write, or the reply to a read
        int error = 0;            // returned by the transfer (errno value)
        size_t short_by = 0;      // a read delivers this many bytes fewer (and fails with EIO)
        uint32_t advance_ms = 0;  // a read takes this long on the virtual clock
    };

    void expect_write(Bytes bytes) { steps.push_back({true, std::move(bytes)}); }
    void fail_write(Bytes bytes, int error) { steps.push_back({true, std::move(bytes), error}); }
    void reply(Bytes bytes, uint32_t advance_ms = 0) {
        steps.push_back({false, std::move(bytes), 0, 0, advance_ms});
    }
    void fail_read(size_t length, int error) { steps.push_back({false, Bytes(length), error}); }
    void short_read(Bytes bytes, size_t short_by) {
        steps.push_back({false, std::move(bytes), 0, short_by});
    }
    // All scripted transfers happened.
    void expect_done() const;

    std::deque<Step> steps;
    VirtualClock* clock = nullptr;
    int writes = 0;
    int reads = 0;
};

class ScriptedDevice : public BlockDevice {
  public:
    explicit ScriptedDevice(std::shared_ptr<Conversation> c) : c_(std::move(c)) {}
    int write_block(const uint8_t* data, size_t length) override;
    int read_block(uint8_t* data, size_t length, size_t& received) override;

  private:
    std::shared_ptr<Conversation> c_;
};

// Interfaces by member index; open() hands out a ScriptedDevice on the interface's own
// conversation, or on the shared one.
class ScriptedEnumerator : public DeviceEnumerator {
  public:
    explicit ScriptedEnumerator(std::shared_ptr<Conversation> c) : c_(std::move(c)) {}
    void add(int member_index, DeviceInterfaceInfo info,
             std::shared_ptr<Conversation> own = nullptr) {
        if (own) own_[info.path] = std::move(own);
        at_[member_index] = std::move(info);
    }

    bool begin() override { return begin_ok; }
    std::optional<DeviceInterfaceInfo> interface_at(int member_index) override;
    std::unique_ptr<BlockDevice> open(const DeviceInterfaceInfo& info, int& error) override;

    bool begin_ok = true;
    int open_error = 0;               // nonzero: open() fails with it
    std::vector<std::string> opened;  // paths, in order

  private:
    std::shared_ptr<Conversation> c_;
    std::map<int, DeviceInterfaceInfo> at_;
    std::map<std::string, std::shared_ptr<Conversation>> own_;
};

// An interface of the camera's class with the given ids in its path.
DeviceInterfaceInfo camera_interface(const std::string& vid, const std::string& pid,
                                     const std::string& tail = "1-1");

// A program whose camera link is open on a scripted conversation (`talk`), as after discovery.
class CameraLinkTest : public ProgramTest {
  protected:
    CameraLinkTest();
    ~CameraLinkTest() override;
    // Checks the conversation is complete and starts a fresh one on the same device.
    void finish_conversation();

    std::shared_ptr<Conversation> talk = std::make_shared<Conversation>();
};

}  // namespace kvr::test
