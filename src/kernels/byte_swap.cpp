#include "kernels/byte_swap.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "kernels/pixel_vectors.h"
#include "kernels/simd_dispatch.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace kvr {

namespace {

constexpr bool kSwap = std::endian::native == std::endian::little;

uint16_t swap_word(uint16_t w) {
    return kSwap ? __builtin_bswap16(w) : w;
}

u16x8 swap_words(u16x8 v) {
    return kSwap ? (v << 8 | v >> 8) : v;
}

// XOR, then swap (`flip_first`), or swap, then XOR: 16-byte vectors, then single words.
template <bool FlipFirst>
void swap_portable(const uint8_t* src, size_t words, uint16_t flip, uint8_t* out) {
    size_t i = 0;
    for (; i + kU16x8Lanes <= words; i += kU16x8Lanes) {
        u16x8 v;
        std::memcpy(&v, src + 2 * i, sizeof v);
        v = FlipFirst ? swap_words(v ^ flip) : swap_words(v) ^ flip;
        std::memcpy(out + 2 * i, &v, sizeof v);
    }
    for (; i < words; ++i) {
        uint16_t w;
        std::memcpy(&w, src + 2 * i, 2);
        w = FlipFirst ? swap_word(static_cast<uint16_t>(w ^ flip))
                      : static_cast<uint16_t>(swap_word(w) ^ flip);
        std::memcpy(out + 2 * i, &w, 2);
    }
}

#if KVR_HAVE_AVX2_PATHS
// Swaps, then XORs `flip`, 32 bytes per shuffle and two blocks per step (XORing first is the
// same as XORing the swapped flip after). Returns the words done. Byte shuffles, not the shifts
// and OR of generic vectors: with those, a full-frame FITS load took 1 to 4 µs longer.
KVR_TARGET_AVX2 size_t swap_avx2(const uint8_t* src, size_t words, uint16_t swapped_flip,
                                 uint8_t* out) {
    const __m256i order = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1,
                                           0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    const __m256i flip = _mm256_set1_epi16(static_cast<int16_t>(swapped_flip));
    size_t i = 0;
    for (; i + 32 <= words; i += 32) {
        const auto* in = reinterpret_cast<const __m256i*>(src + 2 * i);
        auto* to = reinterpret_cast<__m256i*>(out + 2 * i);
        const __m256i a = _mm256_loadu_si256(in);
        const __m256i b = _mm256_loadu_si256(in + 1);
        _mm256_storeu_si256(to, _mm256_xor_si256(_mm256_shuffle_epi8(a, order), flip));
        _mm256_storeu_si256(to + 1, _mm256_xor_si256(_mm256_shuffle_epi8(b, order), flip));
    }
    return i;
}

// The same with 64-byte shuffles. The loop is bound by moving the frame's cache lines between
// the cache levels, not by the shuffles; with one store a line instead of two, a full-frame FITS
// load (about 42 µs) takes 1 to 3 µs less than with the AVX2 loop.
KVR_TARGET_AVX512 size_t swap_avx512(const uint8_t* src, size_t words, uint16_t swapped_flip,
                                     uint8_t* out) {
    // The byte order of each 16-byte lane, as its two 8-byte halves.
    const __m512i order = _mm512_set4_epi64(0x0e0f0c0d0a0b0809, 0x0607040502030001,
                                            0x0e0f0c0d0a0b0809, 0x0607040502030001);
    const __m512i flip = _mm512_set1_epi16(static_cast<int16_t>(swapped_flip));
    size_t i = 0;
    for (; i + 64 <= words; i += 64) {
        const auto* in = reinterpret_cast<const __m512i*>(src + 2 * i);
        auto* to = reinterpret_cast<__m512i*>(out + 2 * i);
        const __m512i a = _mm512_loadu_si512(in);
        const __m512i b = _mm512_loadu_si512(in + 1);
        _mm512_storeu_si512(to, _mm512_xor_si512(_mm512_shuffle_epi8(a, order), flip));
        _mm512_storeu_si512(to + 1, _mm512_xor_si512(_mm512_shuffle_epi8(b, order), flip));
    }
    return i;
}
#endif

// AVX-512 or AVX2 blocks where the processor has them, the rest in 16-byte vectors and single
// words.
template <bool FlipFirst>
void swap_frame(const uint8_t* src, size_t words, uint16_t flip, uint8_t* out) {
    size_t done = 0;
#if KVR_HAVE_AVX2_PATHS
    if (kSwap && use_avx2()) {
        // A store across two cache lines costs two: the first words one by one, up to a vector
        // boundary of `out` (the frame buffers lie at any even address).
        const bool wide = use_avx512();
        const size_t vector = wide ? 64 : 32;
        const size_t misaligned = reinterpret_cast<uintptr_t>(out) % vector;
        const size_t head =
            misaligned % 2 == 0 ? std::min(words, (vector - misaligned) % vector / 2) : 0;
        swap_portable<FlipFirst>(src, head, flip, out);
        const auto blocks = wide ? swap_avx512 : swap_avx2;
        done = head + blocks(src + 2 * head, words - head, FlipFirst ? swap_word(flip) : flip,
                             out + 2 * head);
    }
#endif
    swap_portable<FlipFirst>(src + 2 * done, words - done, flip, out + 2 * done);
}

}  // namespace

void be16_to_words(const uint8_t* src, size_t words, uint16_t flip, uint16_t* dst) {
    swap_frame<false>(src, words, flip, reinterpret_cast<uint8_t*>(dst));
}

void words_to_be16(const uint16_t* src, size_t words, uint16_t flip, uint8_t* out) {
    swap_frame<true>(reinterpret_cast<const uint8_t*>(src), words, flip, out);
}

}  // namespace kvr
