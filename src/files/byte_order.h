#pragma once
// 16-bit pixels to and from file bytes: FITS data are big-endian, the native file and the
// settings file little-endian. The loops run over whole frames, so they are written to
// vectorise (no aliasing between source and destination).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kvr {

// Words from big-endian bytes, each XORed with `flip` (0x8000 shifts signed FITS data by 32768).
inline void decode_be16(const uint8_t* __restrict src, size_t words, uint16_t flip,
                        uint16_t* __restrict dst) {
    for (size_t i = 0; i < words; ++i) {
        uint16_t w;
        std::memcpy(&w, src + 2 * i, 2);
        if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap16(w);
        dst[i] = static_cast<uint16_t>(w ^ flip);
    }
}

inline void encode_be16(const uint16_t* __restrict src, size_t words, uint16_t flip,
                        uint8_t* __restrict out) {
    for (size_t i = 0; i < words; ++i) {
        uint16_t w = static_cast<uint16_t>(src[i] ^ flip);
        if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap16(w);
        std::memcpy(out + 2 * i, &w, 2);
    }
}

inline void decode_le16(const uint8_t* __restrict src, size_t words, uint16_t* __restrict dst) {
    for (size_t i = 0; i < words; ++i) {
        uint16_t w;
        std::memcpy(&w, src + 2 * i, 2);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap16(w);
        dst[i] = w;
    }
}

inline void encode_le16(const uint16_t* __restrict src, size_t words, uint8_t* __restrict out) {
    for (size_t i = 0; i < words; ++i) {
        uint16_t w = src[i];
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap16(w);
        std::memcpy(out + 2 * i, &w, 2);
    }
}

}  // namespace kvr
