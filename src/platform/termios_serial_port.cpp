#include "platform/termios_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace kvr {

namespace {

using SteadyClock = std::chrono::steady_clock;

int failure() {
    return errno > 0 ? -errno : -EIO;
}

speed_t speed_code(int bits_per_second) {
    switch (bits_per_second) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

tcflag_t size_flag(int data_bits) {
    switch (data_bits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

// Milliseconds left until `deadline` (0 when it has passed).
int remaining_ms(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for `events` on `fd` until `deadline`: 1 ready, 0 timed out, negative error.
int wait_ready(int fd, short events, SteadyClock::time_point deadline) {
    for (;;) {
        pollfd pfd{fd, events, 0};
        const int r = ::poll(&pfd, 1, remaining_ms(deadline));
        if (r > 0) return (pfd.revents & (POLLERR | POLLNVAL)) ? -EIO : 1;
        if (r == 0) return 0;
        if (errno != EINTR) return failure();
    }
}

bool is_line_end(uint8_t c) {
    return c == '\r' || c == '\n' || c == '#';
}

}  // namespace

TermiosSerialPort::~TermiosSerialPort() {
    close();
}

int TermiosSerialPort::open(const std::string& device) {
    close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failure();
    if (!::isatty(fd)) {
        ::close(fd);
        return -ENOTTY;
    }
    fd_ = fd;
    return 0;
}

int TermiosSerialPort::set_baud(int bits_per_second) {
    if (fd_ < 0) return -EBADF;
    const speed_t code = speed_code(bits_per_second);
    if (code == B0) return -EINVAL;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return failure();
    if (::cfsetispeed(&t, code) != 0 || ::cfsetospeed(&t, code) != 0) return failure();
    return ::tcsetattr(fd_, TCSANOW, &t) == 0 ? 0 : failure();
}

int TermiosSerialPort::set_format(int data_bits, Parity parity, int stop_bits) {
    if (fd_ < 0) return -EBADF;
    if (data_bits < 5 || data_bits > 8 || stop_bits < 1 || stop_bits > 2) return -EINVAL;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return failure();
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= size_flag(data_bits) | CREAD | CLOCAL;
    if (parity != Parity::None) t.c_cflag |= PARENB;
    if (parity == Parity::Odd) t.c_cflag |= PARODD;
    if (stop_bits == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd_, TCSANOW, &t) == 0 ? 0 : failure();
}

int TermiosSerialPort::set_modem_line(int line, bool raised) {
    if (fd_ < 0) return -EBADF;
    if (::ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &line) == 0) return 0;
    // Pseudo-terminals and some adapters have no modem-control lines.
    if (errno == ENOTTY || errno == EINVAL) return 0;
    return failure();
}

int TermiosSerialPort::set_dtr(bool raised) {
    return set_modem_line(TIOCM_DTR, raised);
}

int TermiosSerialPort::set_rts(bool raised) {
    return set_modem_line(TIOCM_RTS, raised);
}

int TermiosSerialPort::write(const uint8_t* bytes, size_t count, uint32_t timeout_ms) {
    if (fd_ < 0) return -EBADF;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
    size_t sent = 0;
    while (sent < count) {
        const ssize_t n = ::write(fd_, bytes + sent, count - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return failure();
        const int ready = wait_ready(fd_, POLLOUT, deadline);
        if (ready < 0) return ready;
        if (ready == 0) return -ETIMEDOUT;
    }
    return static_cast<int>(count);
}

int TermiosSerialPort::read(uint8_t* out, size_t capacity, uint32_t timeout_ms) {
    if (fd_ < 0) return -EBADF;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
    size_t got = 0;
    while (got < capacity) {
        const ssize_t n = ::read(fd_, out + got, 1);
        if (n == 1) {
            if (is_line_end(out[got++])) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) break;  // end of file: the other end has gone
        if (errno != EAGAIN) return failure();
        const int ready = wait_ready(fd_, POLLIN, deadline);
        if (ready < 0) return ready;
        if (ready == 0) break;
    }
    return static_cast<int>(got);
}

int TermiosSerialPort::discard_input() {
    if (fd_ < 0) return -EBADF;
    return ::tcflush(fd_, TCIFLUSH) == 0 ? 0 : failure();
}

void TermiosSerialPort::close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace kvr
