#pragma once
// FITS images from other programs (or this program's files rewritten by other tools): the
// header, of any number of blocks, is read card by card by keyword, not by position, and the
// pixels are scaled by BZERO as FITS defines it. Only what the frame buffers hold is accepted:
// 16-bit or 8-bit integers, two axes of a main-camera frame (752 × 580 or 376 × 290) or 8-bit
// ones of a guider frame (500 × 290), BSCALE 1, an integral BZERO, the header within the first
// kFitsProbeBytes of the file.
#include <cstddef>
#include <cstdint>

namespace kvr {

struct Program;

// A header longer than this (36 blocks, 1296 cards) is not read.
inline constexpr size_t kFitsProbeBytes = 36 * 2880;

struct StandardFitsHeader {
    int zero = 0;     // BZERO: physical value = stored value (signed words, unsigned bytes) + zero
    int bitpix = 16;  // 16 or 8
    int width = 0;    // NAXIS1, NAXIS2
    int height = 0;
    size_t data_offset = 0;  // the header's whole blocks
    size_t pixels() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
    size_t data_bytes() const { return pixels() * static_cast<size_t>(bitpix / 8); }
};

enum class StandardFitsCheck { Ok, Short, Foreign };
// Checks the header's structure and that the file of `length` bytes holds all the data; touches
// no global. Only the first `header_bytes` of the file are at `data`. Short: the file ends
// before its header or data do (the geometry is filled in when the header was whole).
StandardFitsCheck check_standard_fits(const uint8_t* data, size_t header_bytes, uint64_t length,
                                      StandardFitsHeader& out);
// Whether the file starts as a FITS file does (its first card is SIMPLE).
bool starts_as_fits(const uint8_t* data, size_t bytes);
// Whether an END card stands within the first `bytes` of a header.
bool holds_end_card(const uint8_t* data, size_t bytes);
// Sets the header globals (texts, history, optics, exposure) from the keywords present; the
// caller has cleared them and checked the header within `header_bytes`.
void read_standard_fits_texts(Program& p, const uint8_t* data, size_t header_bytes);
// The pixels: big-endian signed words plus `zero`, held within 0 … 65535. `src` may be the bytes
// of `dst` itself (converted in place).
void decode_standard_fits_pixels(const uint8_t* src, size_t pixels, int zero, uint16_t* dst);
// 8-bit data: unsigned bytes plus `zero`, held within 0 … 255, as the high byte of each pixel
// (the inverse of this program's 8-bit save). `src` may be the bytes of `dst` itself.
void decode_standard_fits_bytes(const uint8_t* src, size_t pixels, int zero, uint16_t* dst);
// A guider frame's 500 × 290 pixels, at the start of `frame`, spread over the full frame
// (752 × 580) in place: each guider row covers two sensor rows (its pixels are 8.6 × 16.6 µm,
// the main sensor's 8.6 × 8.3 µm), so it fills two rows, from the left; the columns beyond the
// guider's 500 are 0.
void spread_guider_rows(uint16_t* frame);

}  // namespace kvr
