#include "indi/camera_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace kvr::indi {

namespace {

// The process that holds a lock, as it wrote itself into the file; 0 when it did not say.
long holder_of(int fd) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

std::unique_ptr<CameraLock> CameraLock::take(const std::string& folder, const std::string& name,
                                             std::string& refusal) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string path = (std::filesystem::path(folder) / name).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        refusal = "cannot create the camera's lock file " + path;
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refusal = "the camera is in use by another process (process " +
                  std::to_string(holder_of(fd)) + " holds " + path +
                  "): only one driver may run a camera";
        close(fd);
        return nullptr;
    }
    // Who holds the lock, for the reason a second process gives; the lock holds without it.
    const std::string pid = std::to_string(getpid()) + "\n";
    [[maybe_unused]] const bool noted =
        ftruncate(fd, 0) == 0 &&
        pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
    return std::unique_ptr<CameraLock>(new CameraLock(fd));
}

CameraLock::~CameraLock() {
    close(fd_);
}

std::unique_ptr<BlockDevice> ClaimedEnumerator::open(const DeviceInterfaceInfo& info, int& error) {
    refusal_.clear();
    std::unique_ptr<BlockDevice> device = inner_->open(info, error);
    if (!device && error == EBUSY)
        refusal_ =
            "the camera's USB interface is claimed by another program (another driver "
            "process?): only one program may use a camera at a time";
    return device;
}

}  // namespace kvr::indi
