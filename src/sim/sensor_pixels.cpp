#include "sim/sensor_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kvr::sim {

namespace {

// The vector instructions' rules, written out for the portable loops: max(v, 0) and min(v, limit)
// take the second operand unless the comparison holds (a NaN gives 0 or the limit).
inline float at_least_zero(float v) {
    return v > 0.0f ? v : 0.0f;
}
inline float at_most(float v, float limit) {
    return v < limit ? v : limit;
}

// The converter's output for `counts`: clipped to [0, full scale], rounded, written low byte
// first in `bytes` bytes.
inline void put_sample(float counts, float full_scale, int bytes, uint8_t*& out) {
    const float clipped = at_most(at_least_zero(counts), full_scale);
    const auto v = static_cast<uint32_t>(static_cast<int32_t>(clipped + 0.5f));
    *out++ = static_cast<uint8_t>(v);
    if (bytes == 2) *out++ = static_cast<uint8_t>(v >> 8);
}

}  // namespace

void expose_row(const float* light, const float* response, const float* dark, float seconds,
                int count, float* out) {
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) return expose_row_avx2(light, response, dark, seconds, count, out);
#endif
    for (int c = 0; c < count; ++c) out[c] = light[c] * response[c] + dark[c] * seconds;
}

void add_binned(const float* src, int count, int bin, bool round_each, float* sum) {
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) return add_binned_avx2(src, count, bin, round_each, sum);
#endif
    for (int o = 0; o < count; ++o) {
        float s = sum[o];
        const float* in = src + static_cast<std::ptrdiff_t>(o) * bin;
        for (int dx = 0; dx < bin; ++dx) s += round_each ? std::floor(in[dx] + 0.5f) : in[dx];
        sum[o] = s;
    }
}

void convert_row(const float* charge, int count, const Converter& c, NoiseLanes& lanes,
                 uint8_t* out) {
    const float* normals = NormalSource::table();
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) return convert_row_avx2(charge, count, c, lanes, normals, out);
#endif
    const bool draws = c.photon_noise || c.read_noise > 0;
    for (int block = 0; block * kNoiseBlock < count; ++block) {
        uint32_t bits[kNoiseBlock] = {};
        if (draws) lanes.step(bits);
        for (int i = 0; i < kNoiseBlock && block * kNoiseBlock + i < count; ++i) {
            const float expected = charge[block * kNoiseBlock + i];
            float q = expected;
            if (c.photon_noise) {
                // The top 14 bits pick the photon noise's deviate, the low 16 bits' top 14 the
                // read noise's.
                const float z = normals[bits[i] >> kPhotonShift];
                q = at_least_zero(std::floor((expected + std::sqrt(expected) * z) + 0.5f));
            }
            const float z = normals[(bits[i] & 0xFFFF) >> kReadShift];
            put_sample((c.bias + q * c.per_count) + c.read_noise * z, c.full_scale,
                       c.bytes_per_sample, out);
        }
    }
}

void convert_summed_row(const float* sky, float* stars, const float* response, const float* dark,
                        float seconds, int count, const Converter& c, NoiseLanes& lanes,
                        uint8_t* out) {
    const float* normals = NormalSource::table();
#if KVR_HAVE_AVX2_PATHS
    if (use_avx2()) {
        return convert_summed_row_avx2(sky, stars, response, dark, seconds, count, c, lanes,
                                       normals, out);
    }
#endif
    const float variance_per_charge = c.per_count * c.per_count;
    const float read_variance = c.read_noise * c.read_noise;
    for (int at = 0; at < count; at += kNoisePair) {
        uint32_t bits[kNoiseBlock];
        lanes.step(bits);
        for (int k = 0; k < kNoisePair && at + k < count; ++k) {
            const int i = at + k;
            const float expected = (sky[i] + stars[i]) * response[i] + dark[i] * seconds;
            const uint32_t draw = bits[k % kNoiseBlock];
            const float z =
                normals[k < kNoiseBlock ? draw >> kPhotonShift : (draw & 0xFFFF) >> kReadShift];
            const float sigma = std::sqrt(expected * variance_per_charge + read_variance);
            put_sample((c.bias + expected * c.per_count) + sigma * z, c.full_scale,
                       c.bytes_per_sample, out);
        }
    }
    std::fill_n(stars, (count + kNoisePair - 1) / kNoisePair * kNoisePair, 0.0f);
}

}  // namespace kvr::sim
