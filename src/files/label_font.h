#pragma once
// The 8 x 10 pixel font burnt into labelled images: 66 glyphs of 10 rows, top row first. Each row
// is a word whose low 8 bits are the row's pixels, bit 7 (128) the leftmost.
#include <cstdint>

namespace kvr {

inline constexpr int kGlyphRows = 10;
inline constexpr int kGlyphColumns = 8;

// "A"-"Z", then "/", space, "-", ":".
extern const uint32_t UCAlpha[30][kGlyphRows];
// "0"-"9".
extern const uint32_t Numeric[10][kGlyphRows];
// "a"-"z".
extern const uint32_t LCAlpha[26][kGlyphRows];

// The rows of the glyph of `c`, or nullptr for a character the font does not have.
const uint32_t* label_glyph(char c);

}  // namespace kvr
