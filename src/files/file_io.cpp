#include "files/file_io.h"

#include <fcntl.h>
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
