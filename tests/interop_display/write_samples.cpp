// Writes the display bitmaps and TIFF files the independent readers check, each beside the bytes
// a reader must find in it: NAME.bmp with NAME.expected (grey levels, or RGB triples for the
// false-colour picture, rows top first) and NAME.tif with NAME.expected (the samples).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/script_host.h"
#include "app/startup.h"
#include "core/drive_paths.h"
#include "core/program.h"
#include "display/bmp_file.h"
#include "display/display.h"
#include "display/display_mapping.h"
#include "files/tiff_file.h"

namespace {

using namespace kvr;
namespace fs = std::filesystem;

// A frame with structure in both directions and values across the whole 16-bit range.
void fill_frame(Program& p) {
    const int w = p.geo.width1, h = p.geo.height1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.buf->image_int[y * w + x] = uint16_t((x * 173 + y * 311 + (x * y) % 97) * 37 % 65536);
}

void save(const fs::path& path, const void* data, size_t n) {
    std::ofstream(path, std::ios::binary).write(static_cast<const char*>(data), std::streamsize(n));
}

// What a reader must see, worked out apart from the bitmap writer and reader: the frame's high
// bytes (with the three-halves enlargement) where no stretch applies, else the display buffer
// the writer was given; then the colours the writer chose.
std::vector<uint8_t> expected_levels(const Program& p, int width, int height) {
    std::vector<uint8_t> levels;
    const bool enlarged = p.display.Big && !p.display.Geo && p.readout.binned;
    const bool from_frame = !p.display.Geo && !p.run.focus_mode;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int sy = enlarged ? y / 3 * 2 + (y % 3 ? 1 : 0) : y;
            const int sx = enlarged ? std::min(x / 3 * 2 + x % 3, 375) : x;
            const int source_width = enlarged ? 376 : width;
            levels.push_back(from_frame ? uint8_t(p.buf->image_int[sy * source_width + sx] >> 8)
                                        : p.display.pixels_c[y * width + x]);
        }
    }
    return levels;
}

void expect_picture(const Program& p, const fs::path& path, int width, int height, bool rgb) {
    std::vector<uint8_t> out;
    for (uint8_t level : expected_levels(p, width, height)) {
        const Argb c = p.display.bmp_colours[level];
        if (rgb) {
            out.insert(out.end(), {uint8_t(red_of(c)), uint8_t(green_of(c)), uint8_t(blue_of(c))});
        } else {
            out.push_back(uint8_t(red_of(c)));
        }
    }
    save(path, out.data(), out.size());
}

struct BitmapCase {
    const char* name;
    int binned, geo, big, focus, colour;
};

bool write_bitmap_case(Program& p, const fs::path& dir, const BitmapCase& c) {
    p.readout.binned = c.binned;
    set_readout_geometry(p);
    fill_frame(p);
    p.display.Geo = c.geo;
    p.display.Big = c.big;
    p.display.colour_palette = c.colour;
    p.run.focus_mode = c.focus;
    image_prepare(p);
    // The window keeps the normal picture while the focus file takes the focus frame.
    const char* scratch = c.focus ? kFocusBitmapPath : kDisplayBitmapPath;
    std::error_code ec;
    fs::copy_file(map_drive_path(p.drive_root, scratch), dir / (std::string(c.name) + ".bmp"),
                  fs::copy_options::overwrite_existing, ec);
    if (ec) return false;
    const GeometrySize size = geometry_size(display_geometry(p, c.focus, c.geo));
    expect_picture(p, dir / (std::string(c.name) + ".expected"), size.width, size.height,
                   c.colour != 0);
    p.run.focus_mode = 0;
    return true;
}

bool write_tiff_case(Program& p, const fs::path& dir, int binned, int sixteen) {
    p.readout.binned = binned;
    set_readout_geometry(p);
    fill_frame(p);
    const std::string name =
        std::string("tiff_") + (binned ? "binned" : "full") + (sixteen ? "_16" : "_8");
    if (save_tif_file(p, (dir / (name + ".tif")).string(), p.buf->image_int, sixteen) != 0)
        return false;
    const int n = p.geo.width1 * p.geo.height1;
    if (sixteen) {
        save(dir / (name + ".expected"), p.buf->image_int, size_t(n) * 2);
    } else {
        std::vector<uint8_t> high(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) high[size_t(k)] = uint8_t(p.buf->image_int[k] >> 8);
        save(dir / (name + ".expected"), high.data(), high.size());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir / "drives");
    VirtualClock clock;
    std::ostringstream sink;
    ScriptHost host(sink, clock, &clock);
    auto program = make_program(clock, host, (dir / "drives").string());
    Program& p = *program;

    const BitmapCase bitmaps[] = {
        {"bmp_focus", 1, 0, 0, 1, 0},  {"bmp_binned", 1, 0, 0, 0, 0},
        {"bmp_camera", 1, 1, 0, 0, 0}, {"bmp_enlarged", 1, 0, 1, 0, 0},
        {"bmp_full", 0, 0, 0, 0, 0},   {"bmp_false_colour", 1, 0, 0, 0, 1},
    };
    for (const BitmapCase& c : bitmaps) {
        if (!write_bitmap_case(p, dir, c)) {
            std::fprintf(stderr, "could not write %s: %s\n", c.name, sink.str().c_str());
            return 1;
        }
    }
    for (int binned : {1, 0})
        for (int sixteen : {1, 0})
            if (!write_tiff_case(p, dir, binned, sixteen)) {
                std::fprintf(stderr, "could not write a TIFF file\n");
                return 1;
            }
    return 0;
}
