#include "files/file_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "files/file_io.h"

namespace kvr {

namespace {

constexpr std::string_view kTempMarker = ".kvr-";
constexpr size_t kRandomChars = 6;  // mkostemp's XXXXXX
// More links in a row than this is taken for a loop, as the system itself does.
constexpr int kMostLinks = 40;

// The file a chain of symbolic links at the end of `host` names (a relative link text counts
// from the link's folder); `host` itself when it is no link. The named file need not exist yet.
// Empty for a loop of links.
std::string link_target(std::string host) {
    for (int hops = 0; hops < kMostLinks; ++hops) {
        struct stat st {};
        if (host.empty() || ::lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return host;
        char text[PATH_MAX];
        const ssize_t n = ::readlink(host.c_str(), text, sizeof text);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof text) return {};
        const std::string_view named(text, static_cast<size_t>(n));
        const size_t cut = host.find_last_of('/');
        if (named.front() == '/' || cut == std::string::npos)
            host = named;
        else
            host = host.substr(0, cut + 1) + std::string(named);
    }
    return {};
}

// A hidden name beside the file, ".TITLE" + suffix: a rename then stays within one file system.
// Empty when the file cannot be replaced (no title, or a folder or a device in its place).
std::string hidden_beside(const std::string& host, std::string_view suffix) {
    struct stat st {};
    if (host.empty() || host.back() == '/') return {};
    if (::stat(host.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return {};
    const size_t cut = host.find_last_of('/');
    const size_t title = cut == std::string::npos ? 0 : cut + 1;
    return host.substr(0, title) + "." + host.substr(title) + std::string(suffix);
}

std::string folder_of(const std::string& host) {
    const size_t cut = host.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : host.substr(0, cut);
}

// Locks an open file for this process and checks that it is still the regular file under
// `name` (a sweep or a rename may have taken the name since it was opened). False when another
// process holds it. A file system without such locks leaves the file unlocked.
bool hold_under_name(int fd, const std::string& name) {
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
    return ::lstat(name.c_str(), &named) == 0 && named.st_ino == held.st_ino &&
           named.st_dev == held.st_dev;
}

// Flushes a folder's entries, so that a rename in it survives a power cut. A folder this
// process may not open for reading, or a file system that cannot flush folders, is left as the
// rename left it.
bool sync_folder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == EACCES;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

// Gives `from` the name `to` unless that name is taken.
NewFile rename_new(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return NewFile::Created;
    if (errno == EEXIST) return NewFile::Exists;
    if (errno != EINVAL && errno != ENOSYS) return NewFile::Failed;
    // A file system without the no-replace rename: a second name fails the same way.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno == EEXIST ? NewFile::Exists : NewFile::Failed;
    ::unlink(from.c_str());
    return NewFile::Created;
}

bool all_alnum(std::string_view text) {
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

bool ends_with_kind(std::string_view title) {
    if (title.size() < 4) return false;
    const std::string kind = upper_case(title.substr(title.size() - 4));
    return kind == ".FIT" || kind == ".INI" || kind == ".BMP" || kind == ".TIF";
}

NewFile write_and_place(const std::string& host, const uint8_t* bytes, size_t count, bool replace) {
    FileReplacement file(host);
    if (!file.opened() || !write_fully(file.fd(), bytes, count)) return NewFile::Failed;
    if (!replace) return file.commit_new();
    return file.commit() ? NewFile::Created : NewFile::Failed;
}

}  // namespace

bool is_save_temporary(std::string_view name) {
    if (name.size() < 2 + 1 + kRandomChars || name.front() != '.') return false;
    if (!all_alnum(name.substr(name.size() - kRandomChars))) return false;
    const std::string_view before = name.substr(1, name.size() - 1 - kRandomChars);
    if (before.size() > kTempMarker.size() &&
        before.substr(before.size() - kTempMarker.size()) == kTempMarker)
        return true;
    if (before.back() != '.') return false;
    const std::string_view title = before.substr(0, before.size() - 1);
    return ends_with_kind(title) || title.front() == '~';
}

int remove_stale_temporaries(const std::string& host_folder) {
    DIR* dir = ::opendir(host_folder.empty() ? "." : host_folder.c_str());
    if (dir == nullptr) return 0;
    std::string prefix = host_folder;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!is_save_temporary(entry->d_name)) continue;
        const std::string path = prefix + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        if (hold_under_name(fd, path) && ::unlink(path.c_str()) == 0) ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

FileReplacement::FileReplacement(const std::string& host) : target_(link_target(host)) {
    // A sweep by another instance can take a fresh temporary file before it is locked; then
    // another name is drawn.
    for (int attempt = 0; attempt < 3 && fd_ < 0; ++attempt)
        if (!open_temporary() && temp_.empty()) break;
}

bool FileReplacement::open_temporary() {
    temp_ = hidden_beside(target_, std::string(kTempMarker) + "XXXXXX");
    if (temp_.empty()) return false;
    const int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd < 0) {
        temp_.clear();
        return false;
    }
    if (!hold_under_name(fd, temp_)) {
        ::close(fd);  // the sweep that holds it removes it
        return false;
    }
    fd_ = fd;
    // mkostemp creates the file for its owner only; a saved file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return true;
}

FileReplacement::~FileReplacement() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
    // A save that failed may have met a disk filled by temporary files of killed saves.
    if (!placed_ && !target_.empty()) remove_stale_temporaries(folder_of(target_));
}

bool FileReplacement::commit() {
    return put_in_place(true) == NewFile::Created;
}

NewFile FileReplacement::commit_new() {
    return put_in_place(false);
}

NewFile FileReplacement::put_in_place(bool replace) {
    if (fd_ < 0) return NewFile::Failed;
    if (::fsync(fd_) != 0) return NewFile::Failed;
    // The lock is kept until the temporary name is gone, so no sweep can take the file.
    NewFile placed = NewFile::Failed;
    if (!replace)
        placed = rename_new(temp_, target_);
    else if (::rename(temp_.c_str(), target_.c_str()) == 0)
        placed = NewFile::Created;
    placed_ = placed != NewFile::Failed;
    if (placed != NewFile::Created) return placed;
    ::close(fd_);
    fd_ = -1;
    temp_.clear();
    return sync_folder(folder_of(target_)) ? NewFile::Created : NewFile::Failed;
}

ScratchReplacement::ScratchReplacement(const std::string& host)
    : target_(link_target(host)), spare_(hidden_beside(target_, ".spare")) {
    if (spare_.empty()) return;
    // The spare serves when it is a plain file of ours that no other writer holds, still under
    // its name once locked (another instance may have just traded it for the file).
    const int fd = ::open(spare_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 && hold_under_name(fd, spare_)) {
        struct stat held {};
        ::fstat(fd, &held);
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
    bool complete = true;
    for (int i = 0; i < count && complete; ++i) {
        const auto* at = static_cast<const uint8_t*>(parts[i]);
        for (size_t left = sizes[i]; left > 0 && complete;) {
            const ssize_t done = ::pwrite(fd_, at, left, static_cast<off_t>(written));
            if (done < 0 && errno == EINTR) continue;
            complete = done > 0;
            if (!complete) break;
            at += done;
            left -= static_cast<size_t>(done);
            written += static_cast<size_t>(done);
        }
    }
    if (complete && use_spare_ && written != length_) {
        complete = ::ftruncate(fd_, static_cast<off_t>(written)) == 0;
        length_ = written;
    }
    if (!complete && use_spare_) {
        // Part of a file on a full disk: its space goes back, and the next rewrite starts anew.
        ::unlink(spare_.c_str());
        remove_stale_temporaries(folder_of(target_));
    }
    return complete;
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
    return write_and_place(host, bytes, count, true) == NewFile::Created;
}

NewFile create_new_file(const std::string& host, const uint8_t* bytes, size_t count) {
    return write_and_place(host, bytes, count, false);
}

}  // namespace kvr
