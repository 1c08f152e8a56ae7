#include "sim/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace kvr::sim {

std::unique_ptr<SerialLine> SerialLine::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open serial device " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        error = "not a serial device: " + path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE);
    t.c_cflag |= CS8;
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        error = "cannot set up serial device " + path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SerialLine>(new SerialLine(fd));
}

SerialLine::~SerialLine() {
    ::close(fd_);
}

void SerialLine::write(const uint8_t* bytes, size_t count) {
    tcflush(fd_, TCIFLUSH);
    size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadWaitMs);
    while (sent < count && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = ::write(fd_, bytes + sent, count - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;  // a line that went away takes nothing more
        } else {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
}

size_t SerialLine::read(uint8_t* out, size_t count) {
    size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadWaitMs);
    while (got < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        const ssize_t n = ::read(fd_, out + got, count - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return got;
}

}  // namespace kvr::sim
