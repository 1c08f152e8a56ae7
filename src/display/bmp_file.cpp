#include "display/bmp_file.h"

#include <algorithm>
#include <cstring>

#include "core/drive_paths.h"
#include "core/program.h"
#include "display/display_mapping.h"
#include "display/guider_picture.h"
#include "files/file_io.h"
#include "files/file_replacement.h"

namespace kvr {

namespace {

void put16(uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* at, uint32_t v) {
    put16(at, v);
    put16(at + 2, v >> 16);
}

// Writes the header and the pixel block in one go into a file that replaces the old one only
// when complete; a failed write leaves the old file.
int write_bitmap_file(const std::string& path, const uint8_t* header, const uint8_t* pixels,
                      size_t pixel_bytes) {
    ScratchReplacement file(path);
    if (!file.opened()) return kBmpCreateFailed;
    const void* parts[] = {header, pixels};
    const size_t sizes[] = {kBmpHeaderBytes, pixel_bytes};
    size_t written = 0;
    if (!file.write(parts, sizes, 2, written))
        return written < kBmpHeaderBytes ? kBmpHeaderFailed : kBmpPixelsFailed;
    return file.commit() ? kBmpWritten : kBmpPixelsFailed;
}

// Output columns 3k, 3k + 1, 3k + 2 take source columns 2k, 2k + 1, 2k + 2 (the last source
// column stands in past the end of the row).
void enlarge_row(const uint8_t* src, uint8_t* out) {
    for (int k = 0; k < kBigWidth / 3; ++k) {
        out[3 * k] = src[2 * k];
        out[3 * k + 1] = src[2 * k + 1];
        out[3 * k + 2] = src[std::min(2 * k + 2, kBinnedWidth - 1)];
    }
}

// Rows of the display image (top first) into the bitmap's order (bottom first). The enlargement
// takes output rows 3k, 3k + 1, 3k + 2 (from the top) from source rows 2k, 2k + 1, 2k + 1.
void lay_out_rows(const uint8_t* display, uint8_t* work, DisplayGeometry g) {
    const GeometrySize size = geometry_size(g);
    for (int row = 0; row < size.height; ++row) {
        uint8_t* out = work + size_t(size.height - 1 - row) * size.width;
        if (g == DisplayGeometry::Enlarged) {
            const int source_row = row / 3 * 2 + (row % 3 ? 1 : 0);
            enlarge_row(display + size_t(source_row) * kBinnedWidth, out);
        } else {
            std::memcpy(out, display + size_t(row) * size.width, size_t(size.width));
        }
    }
}

}  // namespace

void bmp_header(uint8_t out[kBmpHeaderBytes], int width, int height, const Argb* colours) {
    std::memset(out, 0, kBmpHeaderBytes);
    out[0] = 'B';
    out[1] = 'M';
    put32(out + 2, uint32_t(kBmpHeaderBytes + width * height));
    put32(out + 10, kBmpHeaderBytes);
    put32(out + 14, kBmpInfoHeaderBytes);
    put32(out + 18, uint32_t(width));
    put32(out + 22, uint32_t(height));
    put16(out + 26, 1);
    put16(out + 28, 8);
    uint8_t* entry = out + kBmpFileHeaderBytes + kBmpInfoHeaderBytes;
    for (int i = 0; i < kPaletteEntries; ++i, entry += 4) {
        entry[0] = static_cast<uint8_t>(blue_of(colours[i]));
        entry[1] = static_cast<uint8_t>(green_of(colours[i]));
        entry[2] = static_cast<uint8_t>(red_of(colours[i]));
    }
}

int write_bmp(Program& p, uint8_t* display, uint8_t* work, int focus, int geo,
              WrittenBitmap* written) {
    DisplayState& d = p.display;
    const DisplayGeometry g = prepare_bitmap(p, display, focus, geo);
    lay_out_rows(display, work, g);
    const GeometrySize size = geometry_size(g);
    uint8_t header[kBmpHeaderBytes];
    bmp_header(header, size.width, size.height, d.bmp_colours);

    const bool focus_file = focus || p.guide.tracking || p.guide.training;
    const char* name = focus_file ? kFocusBitmapPath : kDisplayBitmapPath;
    const int result = write_bitmap_file(map_drive_path(p.drive_root, name), header, work,
                                         size_t(size.width) * size.height);
    if (focus_file && result == kBmpWritten) d.focussed = 1;
    if (written && result == kBmpWritten) *written = {name, size.width, size.height};
    return result;
}

int write_guider_bmp(Program& p) {
    const GuiderPictureMap m = guider_picture_map(p);
    uint8_t* work = p.display.pixels_bmp;
    const uint16_t* src = p.ptr.guider_image;
    for (int row = 0; row < kGuiderHeight; ++row) {
        const uint16_t* in = src + row * kGuiderWidth;
        uint8_t* out = work + (kGuiderHeight - 1 - row) * kGuiderWidth;
        for (int x = 0; x < kGuiderWidth; ++x) out[x] = m.level(in[x]);
    }
    uint8_t header[kBmpHeaderBytes];
    bmp_header(header, kGuiderWidth, kGuiderHeight, m.colours);
    return write_bitmap_file(map_drive_path(p.drive_root, kGuiderBitmapPath), header, work,
                             kGuiderPixels);
}

}  // namespace kvr
