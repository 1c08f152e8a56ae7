#include "display/display.h"

#include <algorithm>
#include <cstring>

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

namespace {

// Makes the back picture buffer the one shown, with its size.
void show_back_picture(Program& p, int width, int height, int stride) {
    MainWindowPicture& w = p.display.window;
    const int back = w.front == 0 ? 1 : 0;
    w.width[back] = width;
    w.height[back] = height;
    w.stride[back] = stride;
    w.front = back;
    p.display.PixelWidth = width;
    p.display.PixelHeight = height;
    p.display.Colors = kPaletteEntries;
    update_palette(p, true);
    adjust_scroller(p);
}

// The bitmap just written, as loading its file would give it, from the writer's rows and colour
// table still in memory. False (nothing shown) for a width the file pads.
bool show_written_bitmap(Program& p, const WrittenBitmap& b) {
    if (b.width % 4 != 0) return false;
    MainWindowPicture& w = p.display.window;
    const int back = w.front == 0 ? 1 : 0;
    const uint8_t* rows = p.display.pixels_bmp;  // bottom first
    for (int y = 0; y < b.height; ++y)
        std::memcpy(w.pixels[back] + size_t(y) * b.width, rows + size_t(b.height - 1 - y) * b.width,
                    size_t(b.width));
    for (int i = 0; i < kPaletteEntries; ++i) {
        const Argb c = p.display.bmp_colours[i];
        w.colours[back][i] = argb(red_of(c), green_of(c), blue_of(c));
    }
    show_back_picture(p, b.width, b.height, b.width);
    return true;
}

// Writes the scratch bitmap; the file and size when it was written.
std::optional<WrittenBitmap> write_scratch_bitmap(Program& p) {
    const uint16_t* shown = p.ptr.image;
    p.ptr.image = p.buf->image_int;
    if (p.display.stretch_palette) find_most_pop(p, shown);
    WrittenBitmap written;
    const int result = write_bmp(p, p.display.pixels_c, p.display.pixels_bmp, p.run.focus_mode,
                                 p.display.Geo, &written);
    if (result != kBmpWritten) {
        report_bitmap_failure(p, result);
        return std::nullopt;
    }
    return written;
}

}  // namespace

void image_prepare(Program& p) {
    const uint16_t* shown = p.ptr.image;
    if (!p.display.blink_it) display_image(p);
    set_main_caption(p, p.shell.image_name);
    const char* picture_file = p.guide.training ? kFocusBitmapPath : kDisplayBitmapPath;
    // A bitmap written to the file the window shows is shown from memory: reading it back would
    // give the same bytes.
    const std::optional<WrittenBitmap> written = write_scratch_bitmap(p);
    if (!written || std::strcmp(written->path, picture_file) != 0 ||
        !show_written_bitmap(p, *written))
        load_bitmap_file(p, picture_file);
    // The statistics (`most_pop`, `table`) describe the picture now shown, whichever front end
    // shows it: Remove Background and the stretch dialogs read them.
    build_histogram(p, shown);
}

void write_bitmap(Program& p) {
    write_scratch_bitmap(p);
}

bool load_bitmap_file(Program& p, const char* name) {
    MainWindowPicture& w = p.display.window;
    const int back = w.front == 0 ? 1 : 0;
    BmpImage image{w.pixels[back], sizeof w.pixels[back], w.colours[back]};
    if (read_bmp8(map_drive_path(p.drive_root, name), image) != BmpReadResult::Ok) {
        messages(p, Msg::BitmapOpenFailed);
        return false;
    }
    show_back_picture(p, image.width, image.height, image.stride);
    return true;
}

std::optional<DisplayBitmap> window_bitmap(const Program& p) {
    const MainWindowPicture& w = p.display.window;
    if (w.front < 0) return std::nullopt;
    return DisplayBitmap{w.pixels[w.front], w.width[w.front], w.height[w.front], w.stride[w.front],
                         w.colours[w.front]};
}

void update_palette(Program& p, bool always_repaint) {
    if (always_repaint) p.host.repaint();
}

void adjust_scroller(Program& p) {
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

void repaint_picture(Program& p) {
    update_palette(p, true);
    adjust_scroller(p);
}

void window_resized(Program& p, int client_width, int client_height, bool minimised) {
    if (minimised) return;
    p.display.window.client_width = std::max(0, client_width);
    p.display.window.client_height = std::max(0, client_height);
    adjust_scroller(p);
    p.host.repaint();
}

Argb background_brush(Program& p) {
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
