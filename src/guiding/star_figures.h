#pragma once
// The figures an observer judges a star by while focusing or guiding: its peak, half-flux
// diameter and width at half maximum (in columns of the frame and in arcseconds), its
// signal-to-noise ratio, and its profile across the columns. Frames whose rows are spaced
// wider than their columns (one field of an interlaced sensor, the guider head) give
// `row_aspect` > 1: distances are counted in columns either way.
#include <cstdint>
#include <string>

#include "core/canvas.h"
#include "guiding/star_signal.h"

namespace kvr {

struct Program;

struct StarFigures {
    static constexpr int kProfileHalf = 8;
    static constexpr int kProfileLength = 2 * kProfileHalf + 1;
    bool star = false;   // the box holds a star (holds_star); the figures below need one
    StarSignal signal;   // sky, noise, peak and flux above the sky (ADU), snr, centroid (px)
    double hfd_px = 0;   // diameter holding half the flux above the sky, columns
    double fwhm_px = 0;  // width at half maximum of the profile across the star, columns
    // The profile across the star: its light above the sky (ADU) in each column, summed over the
    // rows through it, centred on its brightest column; columns outside the box hold 0.
    float profile[kProfileLength] = {};
};

// Measures the star in the box of side 2·rad + 1 around (x, y) of a `width` × `height` frame.
StarFigures measure_star_figures(const uint16_t* frame, int width, int height, int x, int y,
                                 int rad, double row_aspect);

// Arcseconds per column of a main-camera full-resolution window and of the guider head: the
// guiding graph's plate scale.
double arcsec_per_column(const Program& p);

// "2.7 px 4.9″": a width in columns and on the sky, one decimal each.
std::string width_text(double px, double arcsec_per_px);

// The profile as a bar chart into [x0, x0 + w) × [y0, y0 + h): each column's bar as tall against
// h as its value against the peak, the half-maximum level as a line.
void draw_star_profile(const StarFigures& f, Canvas& c, int x0, int y0, int w, int h);

}  // namespace kvr
