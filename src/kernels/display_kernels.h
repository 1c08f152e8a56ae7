#pragma once
// Whole-frame byte loops of the display path, vectorised where the processor allows. Each has a
// portable twin that gives the same bytes (the tests compare them).
#include <cstdint>

namespace kvr {

// dst[k] = high byte of src[k].
void copy_high_bytes(const uint16_t* src, uint8_t* dst, int n);

struct ByteRange {
    uint8_t lowest_nonzero = 255;  // 255 when every byte is 0 (or 255)
    uint8_t highest_below_253 = 0;
};
// Darkest non-zero byte and brightest byte below 253 (the limits of the max stretch).
ByteRange scan_byte_range(const uint8_t* buf, int n);
ByteRange scan_byte_range_portable(const uint8_t* buf, int n);

// buf[k] = lut[buf[k]].
void remap_bytes(uint8_t* buf, int n, const uint8_t lut[256]);
void remap_bytes_portable(uint8_t* buf, int n, const uint8_t lut[256]);

}  // namespace kvr
