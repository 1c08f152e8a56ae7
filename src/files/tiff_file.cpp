#include "files/tiff_file.h"

#include <bit>
#include <cstring>

#include "core/program.h"
#include "files/file_io.h"
#include "files/file_replacement.h"

namespace kvr {

namespace {

static_assert(std::endian::native == std::endian::little,
              "16-bit samples are written straight from the little-endian pixel buffer");

enum TiffType : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

constexpr int kIfdOffset = 8;
constexpr int kIfdEntries = 13;
constexpr int kXResolutionOffset = 170;
constexpr int kYResolutionOffset = 178;
constexpr int kStripOffsetsOffset = 186;
constexpr int kStrips8Bit = 10;
constexpr int kEightBitWrites = 16;
constexpr int kRowsPerWrite16 = 10;
constexpr uint16_t kResolutionUnitCentimetre = 3;
// Largest 8-bit write: a sixteenth of a full frame.
constexpr int kMaxEightBitChunk = kFullWidth * kFullHeight / kEightBitWrites;

// Everything of the file's layout that depends on the frame size and sample size.
struct TiffLayout {
    int width, height;
    int bits;
    int strips;
    int rows_per_strip;
    uint32_t strip_bytes;
    uint32_t counts_offset;  // StripByteCounts array
    uint32_t data_offset;    // first pixel
    TiffType counts_type;
    uint32_t y_resolution_denominator;
};

TiffLayout layout_for(bool binned, bool sixteen) {
    TiffLayout t{};
    t.width = binned ? kBinnedWidth : kFullWidth;
    t.height = binned ? kBinnedHeight : kFullHeight;
    if (sixteen) {
        t.bits = 16;
        t.strips = binned ? 5 : 10;
        t.rows_per_strip = 58;
        t.counts_type = kLong;
        t.y_resolution_denominator = 4;
    } else {
        t.bits = 8;
        t.strips = kStrips8Bit;
        t.rows_per_strip = binned ? 29 : 58;
        t.counts_type = kShort;
        t.y_resolution_denominator = 6;
    }
    t.strip_bytes = uint32_t(t.width * t.height * (t.bits / 8) / t.strips);
    t.counts_offset = kStripOffsetsOffset + 4 * uint32_t(t.strips);
    t.data_offset = t.counts_offset + (t.counts_type == kLong ? 4u : 2u) * uint32_t(t.strips);
    return t;
}

class Writer {
  public:
    explicit Writer(uint8_t* at) : at_(at) {}
    void u16(uint32_t v) {
        *at_++ = static_cast<uint8_t>(v);
        *at_++ = static_cast<uint8_t>(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    // One directory entry; a SHORT value sits in the first two bytes of the value field.
    void entry(uint16_t tag, TiffType type, uint32_t count, uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        if (type == kShort && count == 1) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    }

  private:
    uint8_t* at_;
};

// Header, directory, resolutions and strip arrays: everything before the pixels.
size_t build_header(const TiffLayout& t, uint8_t* out) {
    Writer w(out);
    w.u16('I' | 'I' << 8);
    w.u16(42);
    w.u32(kIfdOffset);
    w.u16(kIfdEntries);
    w.entry(254, kLong, 1, 0);
    w.entry(256, kShort, 1, uint32_t(t.width));
    w.entry(257, kShort, 1, uint32_t(t.height));
    w.entry(258, kShort, 1, uint32_t(t.bits));
    w.entry(259, kShort, 1, 1);
    w.entry(262, kShort, 1, 1);
    w.entry(273, kLong, uint32_t(t.strips), kStripOffsetsOffset);
    w.entry(277, kShort, 1, 1);
    w.entry(278, kLong, 1, uint32_t(t.rows_per_strip));
    w.entry(279, t.counts_type, uint32_t(t.strips), t.counts_offset);
    w.entry(282, kRational, 1, kXResolutionOffset);
    w.entry(283, kRational, 1, kYResolutionOffset);
    w.entry(296, kShort, 1, kResolutionUnitCentimetre);
    w.u32(0);  // no further directory
    w.u32(510);
    w.u32(6);
    w.u32(256);
    w.u32(t.y_resolution_denominator);
    for (int s = 0; s < t.strips; ++s) w.u32(t.data_offset + uint32_t(s) * t.strip_bytes);
    for (int s = 0; s < t.strips; ++s) {
        if (t.counts_type == kLong)
            w.u32(t.strip_bytes);
        else
            w.u16(t.strip_bytes);
    }
    return t.data_offset;
}

// 16-bit samples: ten rows per write, straight from the buffer.
bool write_samples16(int fd, const TiffLayout& t, const uint16_t* src) {
    const size_t chunk = size_t(t.width) * kRowsPerWrite16;
    for (int i = 0; i < t.height / kRowsPerWrite16; ++i) {
        if (!write_fully(fd, src + i * chunk, chunk * sizeof(uint16_t))) return false;
    }
    return true;
}

// 8-bit samples: the high byte of each pixel, in sixteen equal writes.
bool write_samples8(int fd, const TiffLayout& t, const uint16_t* src) {
    const int chunk = t.width * t.height / kEightBitWrites;
    uint8_t bytes[kMaxEightBitChunk];
    for (int i = 0; i < kEightBitWrites; ++i) {
        const uint16_t* in = src + size_t(i) * chunk;
        for (int k = 0; k < chunk; ++k) bytes[k] = static_cast<uint8_t>(in[k] >> 8);
        if (!write_fully(fd, bytes, size_t(chunk))) return false;
    }
    return true;
}

}  // namespace

int save_tif_file(const Program& p, const std::string& path, const uint16_t* fredptr,
                  int tifswitch) {
    const TiffLayout t = layout_for(p.readout.binned != 0, tifswitch != 0);
    uint8_t header[512];
    const size_t header_bytes = build_header(t, header);

    FileReplacement file(path);
    if (!file.opened()) return 1;
    const int fd = file.fd();
    const bool ok =
        write_fully(fd, header, header_bytes) &&
        (t.bits == 16 ? write_samples16(fd, t, fredptr) : write_samples8(fd, t, fredptr));
    return ok && file.commit() ? 0 : 1;
}

}  // namespace kvr
