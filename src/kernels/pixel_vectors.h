#pragma once
// Eight 16-bit pixels in one 16-byte vector (SSE2 on x86-64, NEON on ARM): the memory-bound
// whole-frame loops use these so that they run near copy speed on any processor.
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvr {

using u16x8 = uint16_t __attribute__((vector_size(16)));
inline constexpr int kU16x8Lanes = 8;

inline u16x8 load_u16x8(const uint16_t* p) {
    u16x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store_u16x8(uint16_t* p, u16x8 v) {
    std::memcpy(p, &v, sizeof v);
}

inline u16x8 reverse_u16x8(u16x8 v) {
#if defined(__SSE2__)
    // Reverse the words of each half, then swap the halves.
    __m128i w = reinterpret_cast<__m128i>(v);
    w = _mm_shufflelo_epi16(w, 0x1B);
    w = _mm_shufflehi_epi16(w, 0x1B);
    return reinterpret_cast<u16x8>(_mm_shuffle_epi32(w, 0x4E));
#else
    return __builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0);
#endif
}

}  // namespace kvr
