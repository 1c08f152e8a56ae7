#pragma once
// 8-bit palettised Windows bitmaps: the display scratch files the main window shows, the guider
// picture, and the reader that loads them back. Little-endian, 1078-byte header (file header,
// information header, 256 colours), rows bottom first, widths that are multiples of 4.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/display_state.h"

namespace kvr {

struct Program;

inline constexpr int kBmpFileHeaderBytes = 14;
inline constexpr int kBmpInfoHeaderBytes = 40;
inline constexpr int kBmpHeaderBytes =
    kBmpFileHeaderBytes + kBmpInfoHeaderBytes + 4 * kPaletteEntries;  // 1078
inline constexpr const char* kDisplayBitmapPath = "c:\\kvr_q4.bmp";
inline constexpr const char* kFocusBitmapPath = "c:\\kvr_q4f.bmp";
inline constexpr const char* kGuiderBitmapPath = "c:\\KVR_Q4G.bmp";

// Results of the bitmap writers.
inline constexpr int kBmpWritten = 0;
inline constexpr int kBmpCreateFailed = 1;
inline constexpr int kBmpHeaderFailed = 2;
inline constexpr int kBmpPixelsFailed = 3;

// The 1078 header bytes of a width × height bitmap with these colours.
void bmp_header(uint8_t out[kBmpHeaderBytes], int width, int height, const Argb* colours);

// Writes the display bitmap: applies the max stretch (with `max_stretch` or `focus`) to
// `display`, builds the colour table into `bmp_colours`, lays the rows out bottom first in
// `work` (enlarging by half for `Big`) and writes "c:\kvr_q4.bmp", or "c:\kvr_q4f.bmp" (setting
// `focussed`) for a focus, tracking or training frame. Returns 0 … 3.
// `written`, when given, receives the file and the picture's size on success.
struct WrittenBitmap {
    const char* path = nullptr;
    int width = 0;
    int height = 0;
};
int write_bmp(Program& p, uint8_t* display, uint8_t* work, int focus, int geo,
              WrittenBitmap* written = nullptr);
// Writes the guider picture "c:\KVR_Q4G.bmp" from the guider image. Returns 0 … 3.
int write_guider_bmp(Program& p);

// Reading a bitmap back: 8 bits per pixel, uncompressed, any row order and row padding.
enum class BmpReadResult { Ok, CannotOpen, NotABitmap, Unsupported, TooLarge, Truncated };
struct BmpImage {
    uint8_t* pixels;  // receives rows top first, `stride` bytes apart
    size_t capacity;  // bytes available at `pixels`
    Argb* colours;    // receives kPaletteEntries colours (unused entries black)
    int width = 0;
    int height = 0;
    int stride = 0;  // width rounded up to a multiple of 4, as the file stores rows
};
BmpReadResult read_bmp8(const std::string& path, BmpImage& out);

}  // namespace kvr
