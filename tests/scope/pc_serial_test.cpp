// The AO unit on the PC serial port: the termios port over a pseudo-terminal pair, the lazy
// open and its failures.
#include "scope/pc_serial.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/program.h"
#include "core/serial_port.h"
#include "platform/termios_serial_port.h"
#include "scope/ao_unit.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

// The far end of a pseudo-terminal: the program's port opens the slave by its name.
class PtyPair {
  public:
    PtyPair() {
        int slave = -1;
        char name[256] = {};
        EXPECT_EQ(::openpty(&master_, &slave, name, nullptr, nullptr), 0);
        name_ = name;
        ::close(slave);
    }
    ~PtyPair() { ::close(master_); }
    const std::string& name() const { return name_; }
    std::string take(int timeout_ms = 200) {
        std::string got;
        pollfd pfd{master_, POLLIN, 0};
        char buf[64];
        while (::poll(&pfd, 1, timeout_ms) > 0) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
            timeout_ms = 20;
        }
        return got;
    }
    void send(const std::string& s) {
        EXPECT_EQ(::write(master_, s.data(), s.size()), ssize_t(s.size()));
    }

  private:
    int master_ = -1;
    std::string name_;
};

// Counts opens and can fail one step, to see the sequence the program runs.
class CountingPort : public TermiosSerialPort {
  public:
    int open(const std::string& device) override {
        ++opens;
        return TermiosSerialPort::open(device);
    }
    int set_format(int data_bits, Parity parity, int stop_bits) override {
        if (fail_format) return -EINVAL;
        return TermiosSerialPort::set_format(data_bits, parity, stop_bits);
    }
    int opens = 0;
    bool fail_format = false;
};

class PcSerialTest : public ProgramTest {
  protected:
    PcSerialTest() {
        auto port = std::make_unique<CountingPort>();
        counting = port.get();
        p.scope.pc_serial = std::move(port);
        p.settings.AOUnit_comport = 3;
        p.settings.PC_port = 3;
        ::setenv("KVR_Q4_COM4", pty.name().c_str(), 1);
    }
    ~PcSerialTest() override { ::unsetenv("KVR_Q4_COM4"); }
    PtyPair pty;
    CountingPort* counting = nullptr;
};

TEST_F(PcSerialTest, FirstAoCommandOpensThePortAt9600EightNOne) {
    p.scope.AOUnitslewdir = 's';
    p.scope.AOUnitslew_time = 7;
    const uint32_t t0 = clock.ms();
    ao_unit_slew(p);
    EXPECT_EQ(pty.take(), "GS00007");
    EXPECT_EQ(clock.ms(), t0 + 1 + 10 + 50);
    EXPECT_EQ(p.scope.PC_Serial_check, 1);
    // The line as the port left it.
    const int fd = ::open(pty.name().c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);

    centralise_ao_unit(p);
    EXPECT_EQ(pty.take(), "K");
    EXPECT_EQ(counting->opens, 1);
    EXPECT_EQ(take_output(), "");

    // One reply is read; what follows it is dropped. A silent unit costs the timeout only.
    pty.send("OK#stale");
    ::usleep(20000);
    pc_serial_read(p);
    EXPECT_STREQ(reinterpret_cast<const char*>(p.buf->ReportBuffer), "OK#");
    pc_serial_read(p);
    EXPECT_STREQ(reinterpret_cast<const char*>(p.buf->ReportBuffer), "");
}

TEST_F(PcSerialTest, GarbageFloodIsCutToOneReplyAndTheLineRecovers) {
    centralise_ao_unit(p);
    EXPECT_EQ(pty.take(), "K");
    // Two kilobytes of line noise with no terminator, NULs and high bytes among them.
    std::string noise(2048, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) & 0xFF);
    pty.send(noise);
    ::usleep(20000);
    pc_serial_read(p);
    EXPECT_LE(std::char_traits<char>::length(reinterpret_cast<const char*>(p.buf->ReportBuffer)),
              size_t{kPcSerialReplyBytes});
    // The rest of the noise was dropped; the next command and its reply go through.
    pc_serial_read(p);
    EXPECT_STREQ(reinterpret_cast<const char*>(p.buf->ReportBuffer), "");
    centralise_ao_unit(p);
    EXPECT_EQ(pty.take(), "K");
    pty.send("OK#");
    ::usleep(20000);
    pc_serial_read(p);
    EXPECT_STREQ(reinterpret_cast<const char*>(p.buf->ReportBuffer), "OK#");
    EXPECT_EQ(counting->opens, 1);
    EXPECT_EQ(take_output(), "");
}

TEST_F(PcSerialTest, FailedOpenIsReportedSendsNothingAndIsRetried) {
    ::setenv("KVR_Q4_COM4", "/nonexistent/tty", 1);
    centralise_ao_unit(p);
    EXPECT_EQ(take_output(),
              "message 50: ERROR -2 \n"
              "diagnostic: PC serial port COM4 (/nonexistent/tty) could not be opened\n"
              "message 50: Open Communications Failed\n");
    EXPECT_EQ(p.scope.PC_Serial_check, 0);

    // The next command tries again; the format step fails there.
    ::setenv("KVR_Q4_COM4", pty.name().c_str(), 1);
    counting->fail_format = true;
    centralise_ao_unit(p);
    EXPECT_EQ(counting->opens, 2);
    EXPECT_NE(take_output().find("message 50: ERROR -22 \n"), std::string::npos);
    EXPECT_EQ(p.scope.PC_Serial_check, 0);
    EXPECT_FALSE(counting->is_open());
    EXPECT_EQ(pty.take(50), "");

    counting->fail_format = false;
    centralise_ao_unit(p);
    EXPECT_EQ(pty.take(), "K");
    EXPECT_EQ(p.scope.PC_Serial_check, 1);
}

TEST(PcPortNames, EnvironmentOverridesAndRangeIsChecked) {
    ::setenv("KVR_Q4_COM7", "/dev/ttyAMA0", 1);
    EXPECT_EQ(pc_port_device(6), "/dev/ttyAMA0");
    ::unsetenv("KVR_Q4_COM7");
    const std::string def = pc_port_device(6);
    EXPECT_TRUE(def == "/dev/ttyUSB6" || def == "/dev/ttyS6") << def;
    EXPECT_EQ(pc_port_device(7), "");
    EXPECT_EQ(pc_port_device(-1), "");
}

}  // namespace
}  // namespace kvr::test
