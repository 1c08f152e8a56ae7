#pragma once
// Small file helpers shared by the image and settings files: whole-file reads and writes into
// fixed buffers, names and titles of paths, and copying texts into fixed-size globals.
#include <cstddef>
#include <cstdint>
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
