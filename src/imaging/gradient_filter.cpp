#include "imaging/gradient_filter.h"

#include <algorithm>
#include <array>

#include "core/program.h"
#include "imaging/header_band.h"
#include "kernels/gradient_rows.h"

namespace kvr {

namespace {

constexpr int kPatchSize = 40;
constexpr int kPatchTop = 10;
constexpr int kPatchLeft = 20;
constexpr int kModeBins = 4096;  // pixel values in steps of 16
constexpr int kModeStep = 16;

struct GradientGeometry {
    int right_column;  // first column of the right-hand patches
    int bottom_row;    // first row of the bottom patches
    double area;       // normalisation of the interpolation weights
};

// The binned frame's area is its pixel count plus the 4 spare pixels (109044), the full
// frame's its pixel count (436160).
GradientGeometry geometry_of(const Program& p) {
    if (p.readout.binned) return {320, 240, 109044.0};
    return {700, 520, 436160.0};
}

// Most frequent value / 16 of a patch: the first bin with the highest count. The bottom patches
// ignore bin 0 and report 1 when nothing else occurs.
int patch_mode(const Program& p, const uint16_t* image, int top, int left, bool skip_zero_bin) {
    std::array<uint16_t, kModeBins> histogram{};
    for (int y = top; y < top + kPatchSize; ++y)
        for (int x = left; x < left + kPatchSize; ++x)
            ++histogram[image[y * p.geo.width1 + x] / kModeStep];
    const int first = skip_zero_bin ? 1 : 0;
    int mode = first;
    unsigned best = 0;
    for (int bin = first; bin < kModeBins; ++bin)
        if (histogram[bin] > best) {
            best = histogram[bin];
            mode = bin;
        }
    return mode;
}

}  // namespace

GradientCorners measure_gradient(const Program& p, const uint16_t* image) {
    const GradientGeometry g = geometry_of(p);
    const int tl = patch_mode(p, image, kPatchTop, kPatchLeft, false);
    const int tr = patch_mode(p, image, kPatchTop, g.right_column, false);
    const int bl = patch_mode(p, image, g.bottom_row, kPatchLeft, true);
    const int br = patch_mode(p, image, g.bottom_row, g.right_column, true);
    const int faintest = std::min({tl, tr, bl, br});
    return {(tl - faintest) * kModeStep, (tr - faintest) * kModeStep, (bl - faintest) * kModeStep,
            (br - faintest) * kModeStep};
}

void gradient_filter(const Program& p, uint16_t* image) {
    const GradientCorners c = measure_gradient(p, image);
    // Equal corners subtract nothing from any pixel.
    if (!c.top_left && !c.top_right && !c.bottom_left && !c.bottom_right) return;
    const GradientGeometry g = geometry_of(p);
    const GradientPlane plane{p.geo.width1f, p.geo.height1f, g.area,        c.top_left,
                              c.top_right,   c.bottom_left,  c.bottom_right};
    const int w = p.geo.width1;
    const int s = has_header_band(image) ? kHeaderBandRows : 0;
    // The faintest corner's term is zero, and adding +0 to a non-negative sum changes no bit, so
    // zero terms are skipped.
    for (int y = s; y < p.geo.height1; ++y) subtract_gradient_row(image + y * w, w, y, plane);
}

}  // namespace kvr
