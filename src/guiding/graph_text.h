#pragma once
// Short labels drawn into the guiding graph's raster in the 8 × 10 label font, with the few
// signs a graph needs beside it: '.', '+', '%' and '"' drawn as the arcsecond sign ″.
#include <string_view>

#include "core/canvas.h"

namespace kvr {

inline constexpr int kGraphGlyphWidth = 8;
inline constexpr int kGraphGlyphHeight = 10;

// Draws `text` with its top-left corner at (x, y); characters the font lacks are skipped a
// glyph wide. Returns the x just right of the text.
int draw_graph_text(Canvas& c, int x, int y, std::string_view text, Argb colour);

inline int graph_text_width(std::string_view text) {
    return static_cast<int>(text.size()) * kGraphGlyphWidth;
}

}  // namespace kvr
