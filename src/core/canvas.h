#pragma once
// A small RGB raster on which the core draws every picture of the program (the main window, the
// histogram, profiles, guiding frames, the focus thumbnail); the GUI only shows it. Pixels are
// 0xAARRGGBB with opaque alpha, rows top first, so a Qt RGB32 image can wrap them. Drawing is
// clipped to the raster; lines follow the platform's pen rule of leaving out the end point.
#include <cstdint>
#include <vector>

#include "core/display_state.h"

namespace kvr {

struct Canvas {
    Canvas() = default;
    Canvas(int width, int height, Argb background = argb(0, 0, 0));

    // Changes the size (allocates only when it grows) and fills with `background`.
    void resize(int width, int height, Argb background = argb(0, 0, 0));
    int width() const { return width_; }
    int height() const { return height_; }
    const Argb* pixels() const { return pixels_.data(); }
    // Colour at (x, y); 0 outside the raster.
    Argb at(int x, int y) const;
    void set(int x, int y, Argb colour);

    void fill(Argb colour);
    // The rectangle [x0, x1) × [y0, y1).
    void fill_rect(int x0, int y0, int x1, int y1, Argb colour);
    // Outline of [x0, x1) × [y0, y1): its one-pixel border.
    void frame_rect(int x0, int y0, int x1, int y1, Argb colour);
    // From (x0, y0) towards (x1, y1), the end point left out.
    void line(int x0, int y0, int x1, int y1, Argb colour);
    // The picture unscaled with its top-left corner at (x, y).
    void blit(const DisplayBitmap& src, int x, int y);
    // The whole picture scaled into [x0, x1) × [y0, y1), each target pixel taking the nearest
    // source pixel (no blending, as colour-on-colour stretching does).
    void stretch_blit(const DisplayBitmap& src, int x0, int y0, int x1, int y1);

  private:
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    int width_ = 0;
    int height_ = 0;
    std::vector<Argb> pixels_;
};

}  // namespace kvr
