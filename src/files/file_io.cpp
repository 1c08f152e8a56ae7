#include "files/file_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "core/drive_paths.h"
#include "core/program.h"

namespace kvr {

std::string host_path(const Program& p, std::string_view path) {
    return map_drive_path(p.drive_root, path);
}

ReadStatus file_length(const std::string& host, uint64_t& length) {
    struct stat st {};
    if (host.empty() || ::stat(host.c_str(), &st) != 0) return ReadStatus::Missing;
    if (!S_ISREG(st.st_mode)) return ReadStatus::NotAFile;
    length = static_cast<uint64_t>(st.st_size);
    return ReadStatus::Ok;
}

ReadStatus open_for_reading(const std::string& host, uint64_t& length, int& fd) {
    fd = -1;
    if (host.empty()) return ReadStatus::Missing;
    const int opened = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (opened < 0) {
        const ReadStatus s = file_length(host, length);
        return s == ReadStatus::Ok ? ReadStatus::Unreadable : s;
    }
    struct stat st {};
    if (::fstat(opened, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(opened);
        return ReadStatus::NotAFile;
    }
    length = static_cast<uint64_t>(st.st_size);
    fd = opened;
    return ReadStatus::Ok;
}

ReadStatus read_file(const std::string& host, uint8_t* out, size_t capacity, size_t& got) {
    got = 0;
    uint64_t length = 0;
    int fd = -1;
    if (ReadStatus s = open_for_reading(host, length, fd); s != ReadStatus::Ok) return s;
    while (got < capacity) {
        const ssize_t r = ::read(fd, out + got, capacity - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    ::close(fd);
    return ReadStatus::Ok;
}

FileCloser::~FileCloser() {
    if (fd_ >= 0) ::close(fd_);
}

bool read_at(int fd, uint8_t* out, size_t n, uint64_t offset) {
    while (n > 0) {
        const ssize_t got = ::pread(fd, out, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

bool write_fully(int fd, const void* data, size_t n) {
    const auto* at = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t done = ::write(fd, at, n);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        at += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

namespace {

// A hidden name beside the file, ".TITLE" + suffix: a rename then stays within one file system.
// Empty when the file cannot be replaced (no title, or a folder or a device in its place).
std::string hidden_beside(const std::string& host, const char* suffix) {
    struct stat st {};
    if (host.empty() || host.back() == '/') return {};
    if (::stat(host.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return {};
    const size_t cut = host.find_last_of('/');
    const size_t title = cut == std::string::npos ? 0 : cut + 1;
    return host.substr(0, title) + "." + host.substr(title) + suffix;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& host)
    : target_(host), temp_(hidden_beside(host, ".XXXXXX")) {
    if (temp_.empty()) return;
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temp_.clear();
        return;
    }
    // mkostemp creates the file for its owner only; a saved file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

FileReplacement::~FileReplacement() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

bool FileReplacement::commit() {
    if (fd_ < 0) return false;
    const bool flushed = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed || ::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    temp_.clear();
    return true;
}

ScratchReplacement::ScratchReplacement(const std::string& host)
    : target_(host), spare_(hidden_beside(host, ".spare")) {
    if (spare_.empty()) return;
    // The spare serves when it is a plain file of ours that no other writer holds, still under
    // its name once locked (another instance may have just traded it for the file).
    const int fd = ::open(spare_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    struct stat held {
    }, named{};
    if (fd >= 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::stat(spare_.c_str(), &named) == 0 &&
        named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
        fd_ = fd;
        use_spare_ = true;
        length_ = static_cast<uint64_t>(held.st_size);
        return;
    }
    if (fd >= 0) ::close(fd);
    fallback_.emplace(host);
    fd_ = fallback_->fd();
}

ScratchReplacement::~ScratchReplacement() {
    if (use_spare_ && fd_ >= 0) ::close(fd_);
}

bool ScratchReplacement::write(const void* const* parts, const size_t* sizes, int count,
                               size_t& written) {
    written = 0;
    if (fd_ < 0) return false;
    for (int i = 0; i < count; ++i) {
        const auto* at = static_cast<const uint8_t*>(parts[i]);
        for (size_t left = sizes[i]; left > 0;) {
            const ssize_t done = ::pwrite(fd_, at, left, static_cast<off_t>(written));
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) return false;
            at += done;
            left -= static_cast<size_t>(done);
            written += static_cast<size_t>(done);
        }
    }
    if (use_spare_ && written != length_) {
        if (::ftruncate(fd_, static_cast<off_t>(written)) != 0) return false;
        length_ = written;
    }
    return true;
}

bool ScratchReplacement::commit() {
    if (fd_ < 0) return false;
    if (!use_spare_) {
        fd_ = -1;
        return fallback_->commit();
    }
    if (::renameat2(AT_FDCWD, spare_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    // No file to trade with yet, or a file system without exchanges: the spare takes the name
    // (and is made anew next time).
    return ::rename(spare_.c_str(), target_.c_str()) == 0;
}

bool replace_file(const std::string& host, const uint8_t* bytes, size_t count) {
    FileReplacement file(host);
    return file.opened() && write_fully(file.fd(), bytes, count) && file.commit();
}

std::string file_title(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    std::string_view title = cut == std::string_view::npos ? path : path.substr(cut + 1);
    if (cut == std::string_view::npos && is_drive_path(title)) title.remove_prefix(2);
    return std::string(title);
}

std::string file_folder(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string_view::npos)
        return is_drive_path(path) ? std::string(path.substr(0, 2)) : "";
    if (cut == 0) return std::string(path.substr(0, 1));
    return std::string(path.substr(0, cut));
}

std::string upper_case(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool copy_text(char* dest, size_t capacity, std::string_view text) {
    if (capacity == 0) return text.empty();
    const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(dest, text.data(), n);
    std::memset(dest + n, 0, capacity - n);
    return n == text.size();
}

}  // namespace kvr
