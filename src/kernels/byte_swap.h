#pragma once
// Whole frames of 16-bit words between big-endian file bytes and native pixels. AVX-512 or AVX2
// byte shuffles where the processor has them, 16-byte vectors elsewhere; all give the same bits.
#include <cstddef>
#include <cstdint>

namespace kvr {

// dst[i] = big-endian word i of `src`, XORed with `flip`. `src` may be the bytes of `dst`
// itself: each block is read before it is written.
void be16_to_words(const uint8_t* src, size_t words, uint16_t flip, uint16_t* dst);
// Word i of `src`, XORed with `flip`, as big-endian bytes at out[2i].
void words_to_be16(const uint16_t* src, size_t words, uint16_t flip, uint8_t* out);

}  // namespace kvr
