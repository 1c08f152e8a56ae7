#include "guiding/graph_text.h"

#include <cstdint>

#include "files/label_font.h"

namespace kvr {

namespace {

constexpr uint32_t kDot[kGlyphRows] = {0, 0, 0, 0, 0, 0, 0, 0x18, 0x18, 0};
constexpr uint32_t kPlus[kGlyphRows] = {0, 0, 0x18, 0x18, 0x7E, 0x18, 0x18, 0, 0, 0};
constexpr uint32_t kPercent[kGlyphRows] = {0, 0x62, 0x64, 0x08, 0x10, 0x20, 0x4C, 0x8C, 0, 0};
constexpr uint32_t kSeconds[kGlyphRows] = {0, 0x24, 0x24, 0x48, 0x48, 0, 0, 0, 0, 0};

const uint32_t* glyph(char c) {
    switch (c) {
        case '.':
            return kDot;
        case '+':
            return kPlus;
        case '%':
            return kPercent;
        case '"':
            return kSeconds;
        default:
            return label_glyph(c);
    }
}

}  // namespace

int draw_graph_text(Canvas& c, int x, int y, std::string_view text, Argb colour) {
    for (char ch : text) {
        if (const uint32_t* rows = glyph(ch)) {
            for (int r = 0; r < kGlyphRows; ++r)
                for (int b = 0; b < kGlyphColumns; ++b)
                    if (rows[r] & (0x80u >> b)) c.set(x + b, y + r, colour);
        }
        x += kGraphGlyphWidth;
    }
    return x;
}

}  // namespace kvr
