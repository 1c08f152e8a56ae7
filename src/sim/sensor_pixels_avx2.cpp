// AVX2 loops of the simulated sensor: the same bits as the portable loops in sensor_pixels.cpp.
#include "sim/sensor_pixels.h"

#if KVR_HAVE_AVX2_PATHS
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace kvr::sim {

namespace {

KVR_TARGET_AVX2 __m256i rotl(__m256i x, int k) {
    return _mm256_or_si256(_mm256_slli_epi32(x, k), _mm256_srli_epi32(x, 32 - k));
}

// The 64-bit quarters 0 2 1 3 of v: puts the halves of a shuffle of two vectors back in order.
KVR_TARGET_AVX2 __m256 in_order(__m256 v) {
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), 0xD8));
}

// Eight consecutive values, each rounded to the nearest whole (halves up) when asked.
template <bool kRound>
KVR_TARGET_AVX2 __m256 load_charge(const float* p) {
    const __m256 v = _mm256_loadu_ps(p);
    if constexpr (kRound) return _mm256_floor_ps(_mm256_add_ps(v, _mm256_set1_ps(0.5f)));
    return v;
}

// NoiseLanes in registers while a row is drawn.
struct VectorLanes {
    __m256i s0, s1, s2, s3;

    KVR_TARGET_AVX2 explicit VectorLanes(const NoiseLanes& lanes)
        : s0(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.s[0]))),
          s1(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.s[1]))),
          s2(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.s[2]))),
          s3(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.s[3]))) {}
    KVR_TARGET_AVX2 void save(NoiseLanes& lanes) const {
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.s[0]), s0);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.s[1]), s1);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.s[2]), s2);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.s[3]), s3);
    }
    // One xoshiro128++ step (NoiseLanes::step): the eight draws.
    KVR_TARGET_AVX2 inline __attribute__((always_inline)) __m256i step() {
        const __m256i bits = _mm256_add_epi32(rotl(_mm256_add_epi32(s0, s3), 7), s0);
        const __m256i t = _mm256_slli_epi32(s1, 9);
        s2 = _mm256_xor_si256(s2, s0);
        s3 = _mm256_xor_si256(s3, s1);
        s1 = _mm256_xor_si256(s1, s2);
        s0 = _mm256_xor_si256(s0, s3);
        s2 = _mm256_xor_si256(s2, t);
        s3 = rotl(s3, 11);
        return bits;
    }
};

// The converter's clip to [0, full scale] and rounding (halves up) of eight counts.
KVR_TARGET_AVX2 inline __attribute__((always_inline)) __m256i rounded(__m256 counts,
                                                                      __m256 full_scale) {
    const __m256 clipped = _mm256_min_ps(_mm256_max_ps(counts, _mm256_setzero_ps()), full_scale);
    return _mm256_cvttps_epi32(_mm256_add_ps(clipped, _mm256_set1_ps(0.5f)));
}

// Eight rounded samples as 16-bit words.
KVR_TARGET_AVX2 inline __attribute__((always_inline)) __m128i words(__m256i v) {
    return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// Writes the first n (at most eight) of eight samples, 16-bit low byte first or 8-bit; returns
// the position after them.
KVR_TARGET_AVX2 inline __attribute__((always_inline)) uint8_t* put_samples(__m128i words, int n,
                                                                           bool wide,
                                                                           uint8_t* out) {
    if (wide) {
        if (n == 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
        else
            std::memcpy(out, &words, static_cast<size_t>(n) * 2);
        return out + 2 * n;
    }
    const __m128i bytes = _mm_packus_epi16(words, words);
    std::memcpy(out, &bytes, static_cast<size_t>(n));
    return out + n;
}

template <bool kRound>
KVR_TARGET_AVX2 void add_binned_lanes(const float* src, int count, int bin, float* sum) {
    int o = 0;
    if (bin == 1) {
        for (; o + 8 <= count; o += 8) {
            _mm256_storeu_ps(sum + o,
                             _mm256_add_ps(_mm256_loadu_ps(sum + o), load_charge<kRound>(src + o)));
        }
    } else if (bin == 2) {
        for (; o + 8 <= count; o += 8) {
            const __m256 a = load_charge<kRound>(src + 2 * o);
            const __m256 b = load_charge<kRound>(src + 2 * o + 8);
            // Even and odd members of each pair, back in order: a0 a2 a4 a6 b0 b2 b4 b6.
            const __m256 first = in_order(_mm256_shuffle_ps(a, b, 0x88));
            const __m256 second = in_order(_mm256_shuffle_ps(a, b, 0xDD));
            _mm256_storeu_ps(sum + o,
                             _mm256_add_ps(_mm256_add_ps(_mm256_loadu_ps(sum + o), first), second));
        }
    }
    for (; o < count; ++o) {
        float s = sum[o];
        const float* in = src + static_cast<std::ptrdiff_t>(o) * bin;
        for (int dx = 0; dx < bin; ++dx) s += kRound ? std::floor(in[dx] + 0.5f) : in[dx];
        sum[o] = s;
    }
}

}  // namespace

KVR_TARGET_AVX2 void expose_row_avx2(const float* light, const float* response, const float* dark,
                                     float seconds, int count, float* out) {
    const __m256 t = _mm256_set1_ps(seconds);
    int c = 0;
    for (; c + 8 <= count; c += 8) {
        const __m256 received =
            _mm256_mul_ps(_mm256_loadu_ps(light + c), _mm256_loadu_ps(response + c));
        _mm256_storeu_ps(out + c,
                         _mm256_add_ps(received, _mm256_mul_ps(_mm256_loadu_ps(dark + c), t)));
    }
    for (; c < count; ++c) out[c] = light[c] * response[c] + dark[c] * seconds;
}

KVR_TARGET_AVX2 void add_binned_avx2(const float* src, int count, int bin, bool round_each,
                                     float* sum) {
    if (round_each)
        add_binned_lanes<true>(src, count, bin, sum);
    else
        add_binned_lanes<false>(src, count, bin, sum);
}

KVR_TARGET_AVX2 void convert_row_avx2(const float* charge, int count, const Converter& c,
                                      NoiseLanes& lanes, const float* normals, uint8_t* out) {
    const bool draws = c.photon_noise || c.read_noise > 0;
    const bool wide = c.bytes_per_sample == 2;
    VectorLanes state(lanes);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 bias = _mm256_set1_ps(c.bias);
    const __m256 per_count = _mm256_set1_ps(c.per_count);
    const __m256 read_noise = _mm256_set1_ps(c.read_noise);
    const __m256 full_scale = _mm256_set1_ps(c.full_scale);
    const __m256i low_half = _mm256_set1_epi32(0xFFFF);
    for (int at = 0; at < count; at += kNoiseBlock) {
        const __m256i bits = draws ? state.step() : _mm256_setzero_si256();
        const __m256 expected = _mm256_loadu_ps(charge + at);
        __m256 q = expected;
        if (c.photon_noise) {
            const __m256 z = _mm256_i32gather_ps(normals, _mm256_srli_epi32(bits, kPhotonShift), 4);
            q = _mm256_max_ps(
                _mm256_floor_ps(_mm256_add_ps(
                    _mm256_add_ps(expected, _mm256_mul_ps(_mm256_sqrt_ps(expected), z)), half)),
                zero);
        }
        const __m256 z = _mm256_i32gather_ps(
            normals, _mm256_srli_epi32(_mm256_and_si256(bits, low_half), kReadShift), 4);
        const __m256 counts = _mm256_add_ps(_mm256_add_ps(bias, _mm256_mul_ps(q, per_count)),
                                            _mm256_mul_ps(read_noise, z));
        const int n = count - at < kNoiseBlock ? count - at : kNoiseBlock;
        out = put_samples(words(rounded(counts, full_scale)), n, wide, out);
    }
    state.save(lanes);
}

namespace {

// One block of convert_summed_row, up to the counts before the converter's clip. With a unit
// gain (one count per unit of charge) the multiplications by it are left out: they change
// nothing.
template <bool kUnitGain>
struct SummedConverter {
    __m256 seconds, bias, per_count, variance_per_charge, read_variance;

    KVR_TARGET_AVX2 inline __attribute__((always_inline)) __m256 counts(
        const float* sky, float* stars, const float* response, const float* dark, __m256i index,
        const float* normals) const {
        const __m256 light = _mm256_add_ps(_mm256_loadu_ps(sky), _mm256_loadu_ps(stars));
        _mm256_storeu_ps(stars, _mm256_setzero_ps());
        const __m256 expected = _mm256_add_ps(_mm256_mul_ps(light, _mm256_loadu_ps(response)),
                                              _mm256_mul_ps(_mm256_loadu_ps(dark), seconds));
        const __m256 z = _mm256_i32gather_ps(normals, index, 4);
        const __m256 variance = kUnitGain ? expected : _mm256_mul_ps(expected, variance_per_charge);
        const __m256 sigma = _mm256_sqrt_ps(_mm256_add_ps(variance, read_variance));
        const __m256 signal = kUnitGain ? expected : _mm256_mul_ps(expected, per_count);
        return _mm256_add_ps(_mm256_add_ps(bias, signal), _mm256_mul_ps(sigma, z));
    }
};

template <bool kUnitGain, bool kWide>
KVR_TARGET_AVX2 void convert_summed_lanes(const float* sky, float* stars, const float* response,
                                          const float* dark, float seconds, int count,
                                          const Converter& c, NoiseLanes& lanes,
                                          const float* normals, uint8_t* out) {
    VectorLanes state(lanes);
    const SummedConverter<kUnitGain> k{
        _mm256_set1_ps(seconds), _mm256_set1_ps(c.bias), _mm256_set1_ps(c.per_count),
        _mm256_set1_ps(c.per_count * c.per_count), _mm256_set1_ps(c.read_noise * c.read_noise)};
    const __m256 full_scale = _mm256_set1_ps(c.full_scale);
    const __m256i low_half = _mm256_set1_epi32(0xFFFF);
    for (int at = 0; at < count; at += kNoisePair) {
        const __m256i bits = state.step();
        const __m256i first = _mm256_srli_epi32(bits, kPhotonShift);
        const __m256i second = _mm256_srli_epi32(_mm256_and_si256(bits, low_half), kReadShift);
        const int b = at + kNoiseBlock;
        const __m256i va = rounded(
            k.counts(sky + at, stars + at, response + at, dark + at, first, normals), full_scale);
        const __m256i vb = rounded(
            k.counts(sky + b, stars + b, response + b, dark + b, second, normals), full_scale);
        if (kWide && count - at >= kNoisePair) {
            // Both blocks' words, their 64-bit quarters put back in order.
            const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(va, vb), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), words);
            out += 2 * kNoisePair;
            continue;
        }
        const int n = std::min(count - at, kNoisePair);
        out = put_samples(words(va), std::min(n, kNoiseBlock), kWide, out);
        if (n > kNoiseBlock) out = put_samples(words(vb), n - kNoiseBlock, kWide, out);
    }
    state.save(lanes);
}

}  // namespace

KVR_TARGET_AVX2 void convert_summed_row_avx2(const float* sky, float* stars, const float* response,
                                             const float* dark, float seconds, int count,
                                             const Converter& c, NoiseLanes& lanes,
                                             const float* normals, uint8_t* out) {
    const bool unit = c.per_count == 1.0f;
    const bool wide = c.bytes_per_sample == 2;
    if (unit && wide) {
        convert_summed_lanes<true, true>(sky, stars, response, dark, seconds, count, c, lanes,
                                         normals, out);
    } else if (wide) {
        convert_summed_lanes<false, true>(sky, stars, response, dark, seconds, count, c, lanes,
                                          normals, out);
    } else {
        convert_summed_lanes<false, false>(sky, stars, response, dark, seconds, count, c, lanes,
                                           normals, out);
    }
}

}  // namespace kvr::sim

#endif
