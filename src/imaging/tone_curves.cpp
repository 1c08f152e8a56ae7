#include "imaging/tone_curves.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace kvr {

namespace {

constexpr double kToneSpan = 32768.0;

// A curve value truncated and clipped to the table's range (a NaN from a nonsensical parameter
// gives 0).
uint16_t clipped(double v) {
    if (v >= kToneMax) return kToneMax;
    return v > 0 ? static_cast<uint16_t>(v) : 0;
}

}  // namespace

void normal_curve(uint16_t* table, unsigned black, unsigned white) {
    const unsigned from = black * kToneStepsPerLevel;
    const unsigned to = std::min(white * kToneStepsPerLevel, unsigned{kToneTableEntries});
    if (white <= black) {
        for (unsigned i = 0; i < kToneTableEntries; ++i) table[i] = i < from ? 0 : kToneMax;
        return;
    }
    const double f = 255.0 / (white - black);
    for (unsigned i = 0; i < kToneTableEntries; ++i) {
        if (i < from)
            table[i] = 0;
        else if (i < to)
            table[i] = clipped((i - from) * f);
        else
            table[i] = kToneMax;
    }
}

void background_curve(uint16_t* table, unsigned black_entry, double f) {
    for (unsigned i = 0; i < kToneTableEntries; ++i)
        table[i] = i < black_entry ? 0 : clipped((i - black_entry) * f);
}

void power_curve(uint16_t* table, double g) {
    const double k = 1.0 / std::pow(kToneSpan, g - 1.0);
    for (int i = 0; i < kToneTableEntries; ++i) table[i] = clipped(std::pow(i, g) * k);
}

void veltran_curve(uint16_t* table, unsigned m) {
    for (int i = 0; i < kToneTableEntries; ++i) {
        const double x = i / kToneSpan;
        table[i] = clipped(kToneSpan * m * x / (x * (m - 1.0) + 1.0));
    }
}

void sine_curve(uint16_t* table) {
    for (int i = 0; i < kToneTableEntries; ++i)
        table[i] = clipped((std::sin((i - 16384) / 10432.0) + 1.0) * 16383.0);
}

void log_curve(uint16_t* table) {
    for (int i = 0; i < kToneTableEntries; ++i) table[i] = clipped(3151.0 * std::log(i + 1.0));
}

void antilog_curve(uint16_t* table) {
    for (int i = 0; i < kToneTableEntries; ++i) table[i] = clipped(std::exp(i / 3151.0) - 1.0);
}

void invert_curve(uint16_t* table) {
    for (int i = 0; i < kToneTableEntries; ++i) table[i] = static_cast<uint16_t>(kToneMax - i);
}

void apply_tone_table(const uint16_t* __restrict table, uint16_t* __restrict pixels, size_t count) {
    // Four pixels per 64-bit load and store (little-endian lanes); with the table known not to
    // alias the pixels, the four look-ups overlap.
    static_assert(std::endian::native == std::endian::little);
    size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        uint64_t in;
        std::memcpy(&in, pixels + k, sizeof in);
        // Lane n is bits 16n … 16n + 15; its table index is bits 16n + 1 … 16n + 15.
        const uint64_t out =
            uint64_t{table[(in >> 1) & 0x7FFF]} | uint64_t{table[(in >> 17) & 0x7FFF]} << 16 |
            uint64_t{table[(in >> 33) & 0x7FFF]} << 32 | uint64_t{table[in >> 49]} << 48;
        const uint64_t doubled = out << 1;
        std::memcpy(pixels + k, &doubled, sizeof doubled);
    }
    for (; k < count; ++k) pixels[k] = static_cast<uint16_t>(table[pixels[k] >> 1] << 1);
}

}  // namespace kvr
