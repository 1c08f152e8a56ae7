#pragma once
// A program on the simulated camera whose serial ports and relays are wired to a recorder: every
// byte written and every relay change with its time on the virtual clock, and answers queued per
// port that the program's serial reads take in order. A mount can also be scripted by command:
// a write of a given text is answered `delay_ms` later, and a write drops the answers that had
// arrived unread, as the camera's ports do.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/camera.h"
#include "support/test_program.h"

namespace kvr::test {

struct PortRecorder : sim::CameraPorts {
    struct Write {
        int port;
        std::string bytes;
        int64_t at_ms;
    };
    struct Relay {
        int bits;
        int64_t at_ms;
    };
    void relays_changed(uint16_t bits, int64_t at_ms) override;
    void serial_write(uint16_t port, const uint8_t* bytes, size_t count, int64_t at_ms) override;
    void serial_read(uint16_t port, uint8_t* out, size_t count, int64_t at_ms) override;

    void answer(int port, const std::string& bytes);
    // Port 0 answers each write of `command` with `bytes`, `delay_ms` after it.
    void reply_to(const std::string& command, const std::string& bytes, int64_t delay_ms = 0);
    // The texts written, in order (any port).
    std::vector<std::string> texts() const;

    std::vector<Write> writes;
    std::vector<Relay> relays;
    std::map<int, std::deque<uint8_t>> pending;

  private:
    struct Scripted {
        std::string bytes;
        int64_t delay_ms;
    };
    struct Due {
        int64_t at_ms;
        std::string bytes;
    };
    void arrive(int64_t at_ms);
    std::map<std::string, Scripted> replies_;
    std::deque<Due> due_;
};

class ScopeTest : public ProgramTest {
  protected:
    ScopeTest();
    std::shared_ptr<PortRecorder> rec = std::make_shared<PortRecorder>();
};

}  // namespace kvr::test
