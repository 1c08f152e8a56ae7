#pragma once
// 16-bit pixels to and from file bytes: FITS data are big-endian, the native file and the
// settings file little-endian. The big-endian loops run over whole frames in explicit vector
// code, so they keep memory speed whatever the optimisation level.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels/byte_swap.h"
#include "kernels/pixel_vectors.h"

namespace kvr {

// Big-endian words to native order and back (the same swap); decoding XORs the swapped word with
// `flip`, encoding passes `flip` 0 and XORs before.
inline u16x8 swap_be16_u16x8(u16x8 v, uint16_t flip) {
    if constexpr (std::endian::native == std::endian::little) v = v << 8 | v >> 8;
    return v ^ flip;
}
inline uint16_t swap_be16(uint16_t w, uint16_t flip) {
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap16(w);
    return static_cast<uint16_t>(w ^ flip);
}

// Words from big-endian bytes, each XORed with `flip` (0x8000 shifts signed FITS data by 32768).
// `src` may be the bytes of `dst` itself.
inline void decode_be16(const uint8_t* src, size_t words, uint16_t flip, uint16_t* dst) {
    be16_to_words(src, words, flip, dst);
}

inline void encode_be16(const uint16_t* src, size_t words, uint16_t flip, uint8_t* out) {
    words_to_be16(src, words, flip, out);
}

inline void decode_le16(const uint8_t* __restrict src, size_t words, uint16_t* __restrict dst) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(dst, src, 2 * words);
    } else {
        for (size_t i = 0; i < words; ++i) {
            uint16_t w;
            std::memcpy(&w, src + 2 * i, 2);
            dst[i] = __builtin_bswap16(w);
        }
    }
}

inline void encode_le16(const uint16_t* __restrict src, size_t words, uint8_t* __restrict out) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, src, 2 * words);
    } else {
        for (size_t i = 0; i < words; ++i) {
            const uint16_t w = __builtin_bswap16(src[i]);
            std::memcpy(out + 2 * i, &w, 2);
        }
    }
}

}  // namespace kvr
