#pragma once
// FITS files of the standard length from other programs (or this program's files rewritten by
// other tools): the header is read card by card by keyword, not by position, and the pixels are
// scaled by BZERO as FITS defines it. Only what the frame buffers hold is accepted: 16-bit
// integers, two axes of 752 × 580, BSCALE 1, an integral BZERO, the header within the first two
// blocks.
#include <cstddef>
#include <cstdint>

namespace kvr {

struct Program;

struct StandardFitsHeader {
    int zero = 0;  // BZERO: physical value = stored signed 16-bit value + zero
};

enum class StandardFitsCheck { Ok, Short, Foreign };
// Checks the header's structure and the data's size; touches no global.
StandardFitsCheck check_standard_fits(const uint8_t* data, size_t length, StandardFitsHeader& out);
// Sets the header globals (texts, history, optics, exposure) from the keywords present; the
// caller has cleared them and checked the header.
void read_standard_fits_texts(Program& p, const uint8_t* data);
// The pixels: big-endian signed words plus `zero`, held within 0 … 65535. `src` may be the bytes
// of `dst` itself (converted in place).
void decode_standard_fits_pixels(const uint8_t* src, size_t pixels, int zero, uint16_t* dst);

}  // namespace kvr
