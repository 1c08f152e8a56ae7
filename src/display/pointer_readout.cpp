#include "display/pointer_readout.h"

#include <algorithm>
#include <cstdio>

#include "core/program.h"
#include "display/display.h"
#include "display/display_mapping.h"

namespace kvr {

namespace {

// Window point to picture point: fitted pictures fill the client area, each window pixel taking
// the nearest picture pixel; otherwise the scroll origin is added.
bool to_picture(const Program& p, const DisplayBitmap& b, int& x, int& y) {
    const MainWindowPicture& w = p.display.window;
    if (p.shell.Fit) {
        if (w.client_width <= 0 || w.client_height <= 0) return false;
        x = static_cast<int>((x + 0.5) * b.width / w.client_width);
        y = static_cast<int>((y + 0.5) * b.height / w.client_height);
    } else {
        x += w.scroll_x;
        y += w.scroll_y;
    }
    return x >= 0 && y >= 0 && x < b.width && y < b.height;
}

}  // namespace

std::optional<PixelReadout> main_window_pixel(const Program& p, int wx, int wy) {
    const std::optional<DisplayBitmap> picture = window_bitmap(p);
    if (!picture || picture->width <= 0 || picture->height <= 0) return std::nullopt;
    int x = wx, y = wy;
    if (!to_picture(p, *picture, x, y)) return std::nullopt;
    const uint16_t* image = p.buf->image_int;
    if (picture->width == kFocusSide && picture->height == kFocusSide)
        return PixelReadout{x, y, image[y * kFocusSide + x]};
    // Binned and full frames show one picture pixel per image pixel; the enlargement takes
    // three picture pixels for two, the camera geometry resamples (nearest source pixel).
    const int width = std::clamp(p.geo.width1, 1, kFullWidth);
    const int height = std::clamp(p.geo.height1, 1, kFrameBufferLength / width);
    const bool resampled = picture->width == kGeoWidth && picture->height == kGeoHeight;
    const int half_w = resampled ? picture->width / 2 : 0,
              half_h = resampled ? picture->height / 2 : 0;
    const int ix = std::min(width - 1, (x * width + half_w) / picture->width);
    const int iy = std::min(height - 1, (y * height + half_h) / picture->height);
    return PixelReadout{ix, iy, image[iy * width + ix]};
}

std::optional<PixelReadout> guider_picture_pixel(const Program& p, int x, int y) {
    const uint16_t* frame = p.ptr.guider_image;
    if (!frame || x < 0 || y < 0 || x >= kGuiderWidth || y >= kGuiderHeight) return std::nullopt;
    // The head's samples are kept in the high bytes.
    return PixelReadout{x, y, frame[y * kGuiderWidth + x] >> 8};
}

std::string pixel_readout_text(const PixelReadout& r) {
    char text[64];
    std::snprintf(text, sizeof text, "x %d px  y %d px  value %d", r.x, r.y, r.value);
    return text;
}

}  // namespace kvr
