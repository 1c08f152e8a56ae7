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

  private:
    static const float* table();
    Rng& rng_;
    const float* table_;
    uint64_t bits_ = 0;
    int left_ = 0;
};

// Inverse of the standard normal distribution function, for 0 < p < 1.
double inverse_normal_cdf(double p);

}  // namespace kvr::sim
