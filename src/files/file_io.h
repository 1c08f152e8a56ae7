#pragma once
// Small file helpers shared by the image and settings files: whole-file reads and writes into
// fixed buffers, names and titles of paths, and copying texts into fixed-size globals.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvr {

struct Program;

// The program's path (a drive path such as "c:\dark.def" or a plain Linux path) on this system.
std::string host_path(const Program& p, std::string_view path);

enum class ReadStatus { Ok, Missing, NotAFile, Unreadable };
// Size of a regular file in bytes; Missing when it does not exist, NotAFile for a directory or
// a device.
ReadStatus file_length(const std::string& host, uint64_t& length);
// Opens a regular file for reading and gives its length, with one lookup of the path (the open,
// then the descriptor's status): as file_length says, or Unreadable when it exists but cannot be
// opened. Other kinds of file are never waited on (a pipe without a writer) nor made the
// controlling terminal. `fd` is -1 unless Ok.
ReadStatus open_for_reading(const std::string& host, uint64_t& length, int& fd);
// Reads up to `capacity` bytes from the start of the file; `got` is how many arrived.
ReadStatus read_file(const std::string& host, uint8_t* out, size_t capacity, size_t& got);
// Reads exactly n bytes from `offset`, continuing after partial reads and interruptions; false
// at the end of the file or on an error.
bool read_at(int fd, uint8_t* out, size_t n, uint64_t offset);
// Writes all n bytes, continuing after partial writes and interruptions; false when the system
// refuses (a full disk, a size limit).
bool write_fully(int fd, const void* data, size_t n);

// Closes a descriptor at the end of its scope.
class FileCloser {
  public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser();
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// A file written in full beside its final name and then renamed over it, so that the old file
// stays whole until the new one is complete on disk: a crash, a full disk or a refused write
// leaves the old file, and another instance reading the file sees the old or the new bytes,
// never a half-written file. The temporary file is removed unless commit() succeeds.
class FileReplacement {
  public:
    explicit FileReplacement(const std::string& host);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the temporary file could not be created (missing folder, no permission).
    bool opened() const { return fd_ >= 0; }
    // Descriptor of the temporary file, for writers that write in pieces.
    int fd() const { return fd_; }
    // Flushes the data to disk and renames the file over the old one.
    bool commit();

  private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

// A scratch file the display rewrites at every refresh, replaced as safely for its readers as a
// FileReplacement: the new bytes go into a hidden spare file beside it (".NAME.spare"), which then
// trades places with the file in one step, so a reader sees the old or the new bytes, never a
// half-written file. The spare keeps the previous bytes and their pages for the next rewrite: no
// file is created, deleted or flushed to disk per refresh (a scratch file is rebuilt from memory
// at the next refresh, so it need not outlive a crash). A reader keeps the bytes it opened
// through the next rewrite; one that holds the file open through two rewrites sees the second.
// Where the spare cannot serve (another instance holds it, or the file system cannot exchange two
// names) a FileReplacement does.
class ScratchReplacement {
  public:
    explicit ScratchReplacement(const std::string& host);
    ~ScratchReplacement();
    ScratchReplacement(const ScratchReplacement&) = delete;
    ScratchReplacement& operator=(const ScratchReplacement&) = delete;

    // False when no file could be created (missing folder, no permission, a folder in the way).
    bool opened() const { return fd_ >= 0; }
    // Writes the parts one after the other from the start of the file; `written` is how many
    // bytes went in before a failure. False when the system refuses part of them.
    bool write(const void* const* parts, const size_t* sizes, int count, size_t& written);
    // Puts the written bytes in place of the old file.
    bool commit();

  private:
    std::string target_;
    std::string spare_;
    std::optional<FileReplacement> fallback_;
    int fd_ = -1;
    bool use_spare_ = false;
    uint64_t length_ = 0;
};

// Writes `bytes` as the whole new content of the file through a FileReplacement. False when the
// file cannot be created or written; the old file is then left as it was.
bool replace_file(const std::string& host, const uint8_t* bytes, size_t count);

// The file title: the last component of a drive or Linux path.
std::string file_title(std::string_view path);
// The folder part of a path (without the final separator), empty when there is none.
std::string file_folder(std::string_view path);
std::string upper_case(std::string_view text);

// Copies `text` into a fixed-size text global, cutting it to capacity - 1 characters; the rest
// of the room is zeroed. Returns false when the text had to be cut.
bool copy_text(char* dest, size_t capacity, std::string_view text);
template <size_t N>
bool copy_text(char (&dest)[N], std::string_view text) {
    return copy_text(dest, N, text);
}
// Length of a text global, never past its room.
template <size_t N>
std::string_view text_of(const char (&text)[N]) {
    size_t n = 0;
    while (n < N && text[n] != '\0') ++n;
    return {text, n};
}

}  // namespace kvr
