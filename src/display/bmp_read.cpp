// Loading an 8-bit bitmap file: every length and offset is checked against the file before a
// byte is used, so a damaged or foreign file is refused rather than read past.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "display/bmp_file.h"
#include "files/file_io.h"

namespace kvr {

namespace {

constexpr int kBitmapCoreHeaderMin = kBmpInfoHeaderBytes;
constexpr uint32_t kNoCompression = 0;

uint32_t get16(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8;
}
uint32_t get32(const uint8_t* at) {
    return get16(at) | get16(at + 2) << 16;
}

}  // namespace

BmpReadResult read_bmp8(const std::string& path, BmpImage& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return BmpReadResult::CannotOpen;
    FileCloser closer(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return BmpReadResult::CannotOpen;
    const uint64_t file_size = static_cast<uint64_t>(st.st_size);

    uint8_t head[kBmpHeaderBytes] = {};
    const size_t head_bytes = static_cast<size_t>(std::min<uint64_t>(file_size, kBmpHeaderBytes));
    if (head_bytes < kBmpFileHeaderBytes + kBitmapCoreHeaderMin ||
        !read_at(fd, head, head_bytes, 0))
        return BmpReadResult::NotABitmap;
    if (head[0] != 'B' || head[1] != 'M') return BmpReadResult::NotABitmap;
    const uint32_t data_offset = get32(head + 10);
    const uint32_t info_size = get32(head + 14);
    const int32_t width = static_cast<int32_t>(get32(head + 18));
    const int32_t signed_height = static_cast<int32_t>(get32(head + 22));
    if (info_size < kBitmapCoreHeaderMin || get16(head + 26) != 1) return BmpReadResult::NotABitmap;
    if (get16(head + 28) != 8 || get32(head + 30) != kNoCompression)
        return BmpReadResult::Unsupported;
    const uint32_t used = get32(head + 46);
    const uint32_t entries = used == 0 ? kPaletteEntries : used;
    if (width <= 0 || signed_height == 0 || signed_height == INT32_MIN || entries > kPaletteEntries)
        return BmpReadResult::Unsupported;

    const bool top_down = signed_height < 0;
    const uint64_t height = top_down ? uint64_t(-int64_t(signed_height)) : uint64_t(signed_height);
    const uint64_t stride = (uint64_t(width) + 3) / 4 * 4;
    if (stride * height > out.capacity) return BmpReadResult::TooLarge;
    const uint64_t palette_offset = kBmpFileHeaderBytes + uint64_t(info_size);
    if (palette_offset + 4 * entries > data_offset || data_offset + stride * height > file_size)
        return BmpReadResult::Truncated;

    uint8_t palette[4 * kPaletteEntries];
    if (!read_at(fd, palette, 4 * entries, palette_offset)) return BmpReadResult::Truncated;
    for (uint32_t i = 0; i < kPaletteEntries; ++i) {
        const uint8_t* e = palette + 4 * i;
        out.colours[i] = i < entries ? argb(e[2], e[1], e[0]) : argb(0, 0, 0);
    }
    // One read of the whole pixel block, then the rows turned top first in place.
    if (!read_at(fd, out.pixels, size_t(stride * height), data_offset))
        return BmpReadResult::Truncated;
    for (uint64_t row = 0; !top_down && row < height / 2; ++row) {
        uint8_t* a = out.pixels + row * stride;
        std::swap_ranges(a, a + stride, out.pixels + (height - 1 - row) * stride);
    }
    out.width = width;
    out.height = static_cast<int>(height);
    out.stride = static_cast<int>(stride);
    return BmpReadResult::Ok;
}

}  // namespace kvr
