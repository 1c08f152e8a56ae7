#include "display/display.h"

#include <algorithm>

#include "core/caption.h"
#include "core/drive_paths.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/bmp_file.h"
#include "display/display_mapping.h"
#include "imaging/statistics.h"

namespace kvr {

void report_bitmap_failure(Program& p, int result) {
    if (result == kBmpWritten) return;
    messages(
        p, static_cast<Msg>(static_cast<int>(Msg::BitmapCreateFailed) - kBmpCreateFailed + result));
}

void init_display(Program& p) {
    for (int i = 0; i < kPaletteEntries; ++i) p.display.pallet_c[i] = argb(i, i, i);
    p.display.max_stretch_button =
        p.display.max_stretch ? kMaxStretchOffButton : kMaxStretchOnButton;
}

void image_prepare(Program& p) {
    const uint16_t* shown = p.ptr.image;
    if (!p.display.blink_it) DisplayImage(p);
    SetCaption(p, p.shell.image_name);
    write_bitmap(p);
    LoadBitmapFile(p, p.guide.training ? kFocusBitmapPath : kDisplayBitmapPath);
    // The statistics (`most_pop`, `table`) describe the picture now shown, whichever front end
    // shows it: Remove Background and the stretch dialogs read them.
    build_histogram(p, shown);
}

void write_bitmap(Program& p) {
    const uint16_t* shown = p.ptr.image;
    p.ptr.image = p.buf->image_int;
    if (p.display.stretch_palette) find_most_pop(p, shown);
    const int result =
        write_bmp(p, p.display.pixels_c, p.display.pixels_bmp, p.run.focus_mode, p.display.Geo);
    report_bitmap_failure(p, result);
}

bool LoadBitmapFile(Program& p, const char* name) {
    MainWindowPicture& w = p.display.window;
    const int back = w.front == 0 ? 1 : 0;
    BmpImage image{w.pixels[back], sizeof w.pixels[back], w.colours[back]};
    if (read_bmp8(map_drive_path(p.drive_root, name), image) != BmpReadResult::Ok) {
        messages(p, Msg::BitmapOpenFailed);
        return false;
    }
    w.width[back] = image.width;
    w.height[back] = image.height;
    w.stride[back] = image.stride;
    w.front = back;
    // SetupFromDib: the new picture, its palette and size.
    p.display.PixelWidth = image.width;
    p.display.PixelHeight = image.height;
    p.display.Colors = kPaletteEntries;
    UpdatePalette(p, true);
    AdjustScroller(p);
    return true;
}

std::optional<DisplayBitmap> window_bitmap(const Program& p) {
    const MainWindowPicture& w = p.display.window;
    if (w.front < 0) return std::nullopt;
    return DisplayBitmap{w.pixels[w.front], w.width[w.front], w.height[w.front], w.stride[w.front],
                         w.colours[w.front]};
}

void UpdatePalette(Program& p, bool always_repaint) {
    if (always_repaint) p.host.repaint();
}

void AdjustScroller(Program& p) {
    MainWindowPicture& w = p.display.window;
    if (p.shell.Fit) {
        w.scroll_range_x = w.scroll_range_y = 0;
    } else {
        w.scroll_range_x = std::max(0, p.display.PixelWidth - w.client_width);
        w.scroll_range_y = std::max(0, p.display.PixelHeight - w.client_height);
    }
    w.scroll_x = w.scroll_y = 0;
    p.host.repaint();
}

void PaintIt(Program& p) {
    UpdatePalette(p, true);
    AdjustScroller(p);
}

void EvSize(Program& p, int client_width, int client_height, bool minimised) {
    if (minimised) return;
    p.display.window.client_width = std::max(0, client_width);
    p.display.window.client_height = std::max(0, client_height);
    AdjustScroller(p);
    p.host.repaint();
}

Argb EvEraseBkgnd(Program& p) {
    DisplayState& d = p.display;
    if (d.back_changed || !d.window.has_brush) {
        d.window.brush = argb(d.back_r, d.back_g, d.back_b);
        d.window.has_brush = true;
        if (d.back_changed) {
            d.back_changed = 0;
            p.host.repaint();
        }
    }
    return d.window.brush;
}

}  // namespace kvr
