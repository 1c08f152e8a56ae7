#pragma once
// Fast deterministic random numbers for the simulator: the same seed gives the same sky and the
// same noise on every machine (no std:: distributions, whose results differ between libraries).
#include <cstdint>

namespace kvr::sim {

// SplitMix64: turns a seed (and a stream number) into well-mixed 64-bit states.
inline uint64_t splitmix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// xorshift64*: one multiply and three shifts per 64 bits, plenty for pixel noise.
class Rng {
  public:
    Rng(uint64_t seed, uint64_t stream) {
        uint64_t s = seed * 0x100000001B3ull + stream;
        state_ = splitmix64(s) | 1;  // never zero
    }
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Standard normal deviate by exact inversion (slow; for building the sky, not per pixel).
    double normal();

  private:
    uint64_t state_;
};

// Standard normal deviates for per-pixel noise: four per 64-bit draw, each looked up in a table
// of the inverse normal distribution (tails cut beyond about 3.9 sigma, invisible in an image).
class NormalSource {
  public:
    static constexpr int kTableBits = 14;
    static constexpr int kTableSize = 1 << kTableBits;

    explicit NormalSource(Rng& rng) : rng_(rng), table_(table()) {}
    float next() {
        if (left_ == 0) {
            bits_ = rng_.next();
            left_ = 4;
        }
        const auto index = static_cast<uint32_t>(bits_ & 0xFFFF) >> (16 - kTableBits);
        bits_ >>= 16;
        --left_;
        return table_[index];
    }

    // The table: kTableSize equal-probability slices of the standard normal distribution.
    static const float* table();

  private:
    Rng& rng_;
    const float* table_;
    uint64_t bits_ = 0;
    int left_ = 0;
};

// Eight xoshiro128++ generators side by side, one per vector lane: each step gives eight 32-bit
// draws. Per-pixel noise takes its numbers from these in whole steps, so the vector loops and the
// portable loops draw exactly the same ones.
struct NoiseLanes {
    static constexpr int kLanes = 8;

    // Seeded from one draw of `rng`.
    explicit NoiseLanes(Rng& rng);
    void step(uint32_t out[kLanes]) {
        for (int i = 0; i < kLanes; ++i) {
            const uint32_t s0 = s[0][i], s1 = s[1][i], s2 = s[2][i], s3 = s[3][i];
            out[i] = rotl(s0 + s3, 7) + s0;
            const uint32_t t = s1 << 9;
            const uint32_t n2 = s2 ^ s0;
            const uint32_t n3 = s3 ^ s1;
            s[1][i] = s1 ^ n2;
            s[0][i] = s0 ^ n3;
            s[2][i] = n2 ^ t;
            s[3][i] = rotl(n3, 11);
        }
    }
    static uint32_t rotl(uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }

    alignas(32) uint32_t s[4][kLanes];
};

// Inverse of the standard normal distribution function, for 0 < p < 1.
double inverse_normal_cdf(double p);

}  // namespace kvr::sim
