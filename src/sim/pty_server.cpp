#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/sim_log.h"

namespace kvr::sim {

namespace {

// How often the thread looks whether it should stop, ms.
constexpr int kPollMs = 50;
// How often it looks for late answers that have fallen due, ms.
constexpr int kAnswerPollMs = 2;

}  // namespace

std::unique_ptr<PtyServer> PtyServer::start(const std::string& link_path, const char* log_name,
                                            std::shared_ptr<SerialDevice> device,
                                            const Timeline& timeline, std::shared_ptr<SimLog> log,
                                            std::string& error) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return nullptr;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(slave, TCSANOW, &t);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    struct stat st {};
    if (lstat(link_path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = "will not replace " + link_path + ": it is not a symbolic link";
            ::close(master);
            ::close(slave);
            return nullptr;
        }
        ::unlink(link_path.c_str());
    }
    if (::symlink(name, link_path.c_str()) != 0) {
        error = "cannot link " + link_path + " to " + name + ": " + std::strerror(errno);
        ::close(master);
        ::close(slave);
        return nullptr;
    }
    return std::unique_ptr<PtyServer>(new PtyServer(master, slave, link_path, log_name,
                                                    std::move(device), timeline, std::move(log)));
}

PtyServer::PtyServer(int master, int slave, std::string link_path, const char* log_name,
                     std::shared_ptr<SerialDevice> device, const Timeline& timeline,
                     std::shared_ptr<SimLog> log)
    : master_(master),
      slave_(slave),
      link_path_(std::move(link_path)),
      log_name_(log_name),
      device_(std::move(device)),
      timeline_(timeline),
      log_(std::move(log)) {
    thread_ = std::thread([this] { serve(); });
}

PtyServer::~PtyServer() {
    stop_ = true;
    thread_.join();
    ::unlink(link_path_.c_str());
    ::close(master_);
    ::close(slave_);
}

void PtyServer::serve() {
    uint8_t buffer[256];
    std::string reply;
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        const int wait_ms = device_->answers_pending() ? kAnswerPollMs : kPollMs;
        const bool readable = ::poll(&p, 1, wait_ms) > 0 && (p.revents & POLLIN);
        const ssize_t n = readable ? ::read(master_, buffer, sizeof buffer) : 0;
        const int64_t now = timeline_.now_ms();
        reply.clear();
        if (n > 0) {
            if (log_) log_->bytes(now, log_name_, buffer, static_cast<size_t>(n));
            device_->receive(buffer, static_cast<size_t>(n), now, reply);
        } else {
            device_->deliver(now, reply);
        }
        size_t sent = 0;
        while (sent < reply.size() && !stop_) {
            const ssize_t w = ::write(master_, reply.data() + sent, reply.size() - sent);
            if (w > 0) {
                sent += static_cast<size_t>(w);
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                break;
            } else {
                pollfd out{master_, POLLOUT, 0};
                ::poll(&out, 1, kPollMs);
            }
        }
    }
}

}  // namespace kvr::sim
