#pragma once
// How much star a centroid box holds. The centroid routines always return a position, even for
// a box of pure sky (the intensity-weighted centre of noise); these figures tell a star from
// noise, a star dimmed by cloud from one that is gone, and the guide star from a brighter
// neighbour that has come into the box.
#include <cstdint>

namespace kvr {

struct StarSignal {
    double background = 0;  // sky level, ADU: median of the box's outer ring
    double noise = 0;       // sky noise, ADU rms, from the ring's spread (at least 1)
    double peak = 0;        // brightest pixel above the sky, ADU
    double flux = 0;        // sum above the sky close around (x, y), ADU ("star mass")
    double snr = 0;         // flux over the noise of the pixels it is summed from
    // Centre of the light above the sky, px in the frame (the box centre when there is none).
    // Unlike the guide centroid, whose weights are only the top of the star, it stays true to a
    // tenth of a pixel on stars narrower than two pixels.
    double cx = 0, cy = 0;
};

// The box of side 2·rad + 1 centred on (x, y) in a frame of `width` × `height` pixels (rows
// `width` long). A box reaching past the frame is cut to it.
StarSignal measure_star(const uint16_t* frame, int width, int height, int x, int y, int rad);

// A box holds a star when its signal stands clearly out of the noise.
inline constexpr double kMinStarSnr = 6.0;
inline bool holds_star(const StarSignal& s) {
    return s.snr >= kMinStarSnr && s.peak >= 3.0 * s.noise;
}

}  // namespace kvr
