#pragma once
// Tone curves of the Contrast menu: each fills a 32768-entry table whose entry i is the output
// for input pixels 2i and 2i + 1, in 0 … 32767; applying a table doubles the entry. Conversions
// to integer truncate toward zero.
#include <cstddef>
#include <cstdint>

#include "core/processing_state.h"

namespace kvr {

// Largest table entry; doubled it still fits 16 bits.
inline constexpr uint16_t kToneMax = 32767;
// Table entries per display level (a display level is the pixel's high byte).
inline constexpr unsigned kToneStepsPerLevel = 128;

// Linear map of display levels black … white onto 0 … 255 (white above black; a white at or
// below black gives a step from 0 to full at black).
void normal_curve(uint16_t* table, unsigned black, unsigned white);
// Linear map from `black_entry` (table units) upwards with slope `f`, clipped at 32767.
void background_curve(uint16_t* table, unsigned black_entry, double f);
// i^g / 32768^(g − 1), clipped at 32767.
void power_curve(uint16_t* table, double g);
// 32768·m·x / (x·(m − 1) + 1) with x = i / 32768.
void veltran_curve(uint16_t* table, unsigned m);
void sine_curve(uint16_t* table);
void log_curve(uint16_t* table);
void antilog_curve(uint16_t* table);
void invert_curve(uint16_t* table);

// pixels[k] ← 2 · table[pixels[k] / 2] for k in [0, count). The table must not overlap the
// pixels.
void apply_tone_table(const uint16_t* table, uint16_t* pixels, size_t count);

}  // namespace kvr
