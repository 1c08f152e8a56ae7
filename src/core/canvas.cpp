#include "core/canvas.h"

#include <algorithm>
#include <cstdlib>

namespace kvr {

Canvas::Canvas(int width, int height, Argb background) {
    resize(width, height, background);
}

void Canvas::resize(int width, int height, Argb background) {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    pixels_.resize(size_t(width_) * size_t(height_));
    fill(background);
}

Argb Canvas::at(int x, int y) const {
    return inside(x, y) ? pixels_[size_t(y) * width_ + x] : 0;
}

void Canvas::set(int x, int y, Argb colour) {
    if (inside(x, y)) pixels_[size_t(y) * width_ + x] = colour;
}

void Canvas::fill(Argb colour) {
    std::fill(pixels_.begin(), pixels_.end(), colour);
}

void Canvas::fill_rect(int x0, int y0, int x1, int y1, Argb colour) {
    x0 = std::clamp(x0, 0, width_);
    x1 = std::clamp(x1, 0, width_);
    y0 = std::clamp(y0, 0, height_);
    y1 = std::clamp(y1, 0, height_);
    for (int y = y0; y < y1; ++y) {
        Argb* row = pixels_.data() + size_t(y) * width_;
        std::fill(row + x0, row + std::max(x0, x1), colour);
    }
}

void Canvas::frame_rect(int x0, int y0, int x1, int y1, Argb colour) {
    if (x1 <= x0 || y1 <= y0) return;
    fill_rect(x0, y0, x1, y0 + 1, colour);
    fill_rect(x0, y1 - 1, x1, y1, colour);
    fill_rect(x0, y0, x0 + 1, y1, colour);
    fill_rect(x1 - 1, y0, x1, y1, colour);
}

void Canvas::line(int x0, int y0, int x1, int y1, Argb colour) {
    // Bresenham over the whole span; points outside the raster are skipped by set().
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        set(x0, y0, colour);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Canvas::blit(const DisplayBitmap& src, int x, int y) {
    if (!src.pixels || !src.colours) return;
    const int col0 = std::max(0, -x), col1 = std::min(src.width, width_ - x);
    const int row0 = std::max(0, -y), row1 = std::min(src.height, height_ - y);
    for (int r = row0; r < row1; ++r) {
        const uint8_t* in = src.pixels + size_t(r) * src.stride;
        Argb* out = pixels_.data() + size_t(y + r) * width_ + x;
        for (int c = col0; c < col1; ++c) out[c] = src.colours[in[c]];
    }
}

void Canvas::stretch_blit(const DisplayBitmap& src, int x0, int y0, int x1, int y1) {
    if (!src.pixels || !src.colours || src.width <= 0 || src.height <= 0) return;
    const int w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0) return;
    for (int ty = std::max(0, y0); ty < std::min(height_, y1); ++ty) {
        const int sy = int(int64_t(ty - y0) * src.height / h);
        const uint8_t* in = src.pixels + size_t(sy) * src.stride;
        Argb* out = pixels_.data() + size_t(ty) * width_;
        for (int tx = std::max(0, x0); tx < std::min(width_, x1); ++tx)
            out[tx] = src.colours[in[int64_t(tx - x0) * src.width / w]];
    }
}

}  // namespace kvr
