#pragma once
// Writing a block to a file descriptor, as the bitmap and TIFF writers do: every byte or failure.
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace kvr {

// Writes all n bytes, continuing after partial writes; false when the system refuses (a full
// disk, a size limit), with what was written so far left in the file.
inline bool write_fully(int fd, const void* data, size_t n) {
    const auto* at = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t done = ::write(fd, at, n);
        if (done <= 0) return false;
        at += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace kvr
