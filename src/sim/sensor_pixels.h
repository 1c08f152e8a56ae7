#pragma once
// Pixel loops of a simulated sensor. The photosites: light times sensitivity plus dark current.
// The converter end, one output row at a time: the expected charge of each
// output pixel (its binned photosites and fields summed) becomes a sample with photon noise,
// bias, read noise, the converter's clip and rounding. A binned pixel's photon noise is drawn
// once for its summed charge: a sum of Poisson counts is a Poisson count of the summed mean.
//
// The portable loops and the AVX2 loops give the same bits: the same draws from NoiseLanes, the
// same single-precision operations in the same order (built without contraction into fused
// multiply-adds).
#include <cstdint>

#include "kernels/simd_dispatch.h"
#include "sim/random.h"

namespace kvr::sim {

struct Converter {
    float bias = 0;
    // Output counts per unit of charge.
    float per_count = 1;
    // Read noise in counts, 0 without noise.
    float read_noise = 0;
    float full_scale = 65535;
    // Photon noise on: the charge is a Gaussian deviate of the expected charge's mean and
    // variance, in whole units; off: the charge is taken as given.
    bool photon_noise = false;
    // 2: 16-bit samples, low byte first; 1: 8-bit samples.
    int bytes_per_sample = 2;
};

// Row sums are handled in whole blocks of this many pixels: buffers of charges hold a multiple of
// it (the entries past a row's end are read and their results dropped).
inline constexpr int kNoiseBlock = NoiseLanes::kLanes;
inline int noise_blocks(int pixels) {
    return (pixels + kNoiseBlock - 1) / kNoiseBlock;
}
// Pixels in convert_summed_row's pairs of blocks.
inline constexpr int kNoisePair = 2 * kNoiseBlock;

// Each 32-bit draw gives two table indices: its top bits for the photon noise's deviate, the top
// bits of its low half for the read noise's.
inline constexpr int kPhotonShift = 32 - NormalSource::kTableBits;
inline constexpr int kReadShift = 16 - NormalSource::kTableBits;

// out[c] = light[c] · response[c] + dark[c] · seconds for c < count: the light a row's photosites
// received becomes their charge (`out` may be `light`).
void expose_row(const float* light, const float* response, const float* dark, float seconds,
                int count, float* out);

// Adds to sum[o] (o < count) the `bin` consecutive values src[o·bin …], in that order; with
// `round_each`, each value first rounded to the nearest whole (halves up).
void add_binned(const float* src, int count, int bin, bool round_each, float* sum);

// Writes `count` samples for the expected charges charge[0 … count) (the array holds whole
// blocks). Draws one NoiseLanes step per block when the converter has noise, none otherwise.
void convert_row(const float* charge, int count, const Converter& c, NoiseLanes& lanes,
                 uint8_t* out);

// As convert_row with noise, for output pixels that each sum several photosites, whose expected
// charge is (sky[c] + stars[c])·response[c] + dark[c]·seconds (the light as expose_row takes
// it): the photon noise of the summed charge and the read noise are one Gaussian deviate of their
// summed variance, charge·per_count² + read_noise² in counts (no whole-unit charge in between).
// One NoiseLanes step serves two blocks: each draw's top 16 bits pick the first block's deviate,
// its low 16 bits the second's. The arrays hold whole pairs of blocks; `stars` is left all zero.
void convert_summed_row(const float* sky, float* stars, const float* response, const float* dark,
                        float seconds, int count, const Converter& c, NoiseLanes& lanes,
                        uint8_t* out);

#if KVR_HAVE_AVX2_PATHS
void expose_row_avx2(const float* light, const float* response, const float* dark, float seconds,
                     int count, float* out);
void add_binned_avx2(const float* src, int count, int bin, bool round_each, float* sum);
void convert_row_avx2(const float* charge, int count, const Converter& c, NoiseLanes& lanes,
                      const float* normals, uint8_t* out);
void convert_summed_row_avx2(const float* sky, float* stars, const float* response,
                             const float* dark, float seconds, int count, const Converter& c,
                             NoiseLanes& lanes, const float* normals, uint8_t* out);
#endif

}  // namespace kvr::sim
