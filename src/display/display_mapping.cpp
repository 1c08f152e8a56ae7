#include "display/display_mapping.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "core/program.h"
#include "display/camera_geometry.h"
#include "kernels/display_kernels.h"

namespace kvr {

namespace {

constexpr int kFocusDimBelow = 32000;        // brightest focus pixel below this: expose longer
constexpr int kFocusSaturatedAbove = 64000;  // above this: expose shorter

// A table value as the 16-bit entry stores it; values outside its range (a strength below 1 can
// give them) are clamped rather than converted out of range.
uint16_t table_entry(long double v) {
    if (!(v > 0.0L)) return 0;
    if (v >= 65535.0L) return 65535;
    return static_cast<uint16_t>(truncate_extended(v));
}

}  // namespace

int truncate_extended(long double v) {
    // Rounding to double first may carry v up to the next whole number; one step back mends
    // that, and no rounding-mode switch (which stalls the processor) is needed.
    int k = static_cast<int>(static_cast<double>(v));
    if (static_cast<long double>(k) > v) --k;
    return k;
}

GeometrySize geometry_size(DisplayGeometry g) {
    switch (g) {
        case DisplayGeometry::Focus:
            return {kFocusSide, kFocusSide};
        case DisplayGeometry::Binned:
            return {kBinnedWidth, kBinnedHeight};
        case DisplayGeometry::Camera:
            return {kGeoWidth, kGeoHeight};
        case DisplayGeometry::Enlarged:
            return {kBigWidth, kBigHeight};
        case DisplayGeometry::Full:
            break;
    }
    return {kFullWidth, kFullHeight};
}

DisplayGeometry display_geometry(const Program& p, int focus, int geo) {
    if (focus || p.guide.tracking) return DisplayGeometry::Focus;
    if (!p.readout.binned) return DisplayGeometry::Full;
    if (geo) return DisplayGeometry::Camera;
    if (p.display.Big) return DisplayGeometry::Enlarged;
    return DisplayGeometry::Binned;
}

int display_bytes(DisplayGeometry g) {
    switch (g) {
        case DisplayGeometry::Focus:
            return kFocusPixels;
        case DisplayGeometry::Camera:
            return kGeoWidth * kGeoHeight;
        case DisplayGeometry::Binned:
        case DisplayGeometry::Enlarged:
            return kBinnedPixels;
        case DisplayGeometry::Full:
            break;
    }
    return kFullPixels;
}

void setup_image(const Program& p, const uint16_t* src, uint8_t* dst, int focus, int geo) {
    if (focus || p.guide.tracking) {
        copy_high_bytes(src, dst, kFocusPixels);
    } else if (!p.readout.binned) {
        copy_high_bytes(src, dst, kFullPixels + kFrameSpare);
    } else if (!geo) {
        copy_high_bytes(src, dst, kBinnedPixels + kFrameSpare);
    } else {
        resample_to_camera_geometry(p, src, dst);
    }
}

void display_image(Program& p) {
    setup_image(p, p.ptr.image, p.display.pixels_c, p.run.focus_mode, p.display.Geo);
}

void scan_display_range(Program& p, const uint8_t* buf, int n) {
    const ByteRange r = scan_byte_range(buf, n);
    p.display.max_pix = r.highest_below_253;
    p.display.min_pix = r.lowest_nonzero;
}

void build_stretch_table(Program& p, double m) {
    const long double mm = m;
    for (int i = 0; i < kStretchTableEntries; ++i) {
        const long double x = static_cast<long double>(i) / 255.0L;
        p.display.stretch_bmp_table[i] = table_entry(255.0L * mm * x / (x * (mm - 1.0L) + 1.0L));
    }
}

void setup_stretched_bmp(Program& p, uint8_t* buf, int n, int focus, int geo) {
    scan_display_range(p, buf, n);
    build_stretch_table(p, p.run.focus_mode ? p.display.focus_stretch : p.display.max_stretch_mult);
    uint8_t lut[256];
    for (int v = 0; v < 256; ++v) {
        const int k = std::max(0, v - p.display.min_pix);
        lut[v] = v < 253 ? static_cast<uint8_t>(p.display.stretch_bmp_table[k] & 0xFF)
                         : static_cast<uint8_t>(v);
    }
    remap_bytes(buf, n, lut);
    const bool focus_case = focus || p.guide.tracking || p.guide.training;
    if (p.readout.binned && !geo && focus_case && p.run.auto_exposure && p.run.focus_mode)
        adjust_focus_exposure(p);
}

void adjust_focus_exposure(Program& p) {
    int& exposure = p.readout.exposure;
    // Doubling stops short of overflowing the millisecond count.
    if (p.readout.max_focus_val < kFocusDimBelow) {
        if (exposure <= std::numeric_limits<int>::max() / 2) exposure *= 2;
    } else if (p.readout.max_focus_val > kFocusSaturatedAbove) {
        exposure /= 2;
    }
    struct Unit {
        int above_ms;
        char range;
        int ms;
    };
    constexpr Unit kUnits[] = {
        {120000, 'm', 60000}, {1000, 's', 1000}, {100, 't', 100}, {10, 'h', 10}};
    for (const Unit& u : kUnits) {
        if (exposure > u.above_ms) {
            p.run.exp_range = u.range;
            p.run.exp_value = exposure / u.ms;
            return;
        }
    }
    p.run.exp_range = 'q';
    p.run.exp_value = exposure;
}

DisplayGeometry prepare_bitmap(Program& p, uint8_t* display, int focus, int geo) {
    DisplayState& d = p.display;
    const DisplayGeometry g = display_geometry(p, focus, geo);
    if (d.max_stretch || focus) setup_stretched_bmp(p, display, display_bytes(g), focus, geo);
    uint8_t stretched[kPaletteEntries] = {};
    if (d.stretch_palette || d.max_stretch || focus) palette_stretch_table(d.most_pop, stretched);
    build_colour_table(p, stretched, d.bmp_colours);
    return g;
}

void palette_stretch_table(int most_pop, uint8_t out[kPaletteEntries]) {
    // The exponents are the single-precision constants widened to double.
    static const double kScale = std::pow(255.0, static_cast<double>(0.7f));
    static const auto kPowers = [] {
        std::array<double, kPaletteEntries> t{};
        for (int k = 1; k < kPaletteEntries; ++k)
            t[k] = std::pow(static_cast<double>(k), static_cast<double>(0.3f));
        return t;
    }();
    for (int i = 0; i < kPaletteEntries; ++i) {
        if (i <= most_pop) {
            out[i] = 0;
            continue;
        }
        const long k = static_cast<long>(i) - most_pop;  // 1 … 255 + |most_pop|
        const double power = k < kPaletteEntries
                                 ? kPowers[k]
                                 : std::pow(static_cast<double>(k), static_cast<double>(0.3f));
        out[i] = static_cast<uint8_t>(std::min(255.0, std::trunc(kScale * power)));
    }
}

void build_colour_table(const Program& p, const uint8_t* stretched, Argb out[kPaletteEntries]) {
    const DisplayVariables& d = p.display;
    for (int i = 0; i < kPaletteEntries; ++i) {
        const int v = d.stretch_palette ? stretched[i] : i;
        if (d.colour_palette && v <= 240) {
            const int inverse = 255 - v;
            const int blue = inverse - inverse * inverse / 256;
            const int green = v * v / 256;
            out[i] = argb(v, green, blue);
        } else {
            out[i] = argb(v, v, v);
        }
    }
}

}  // namespace kvr
