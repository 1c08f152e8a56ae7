#pragma once
// Sub-pixel position of a star too narrow for its pixels. On the guider's rows (twice as tall as
// its columns are wide) a star in good seeing is often less than half a row wide: any
// intensity-weighted centre then clings to the middle of the row the star is in, and a star
// that moves by half a row reads as still. The light that spills into the neighbouring rows and
// columns still tells where the star is; a profile integrated over each pixel, fitted to the
// star's row and column sums, reads it.
#include <cstdint>

#include "guiding/star_signal.h"

namespace kvr {

// The star of `s` (measured by measure_star on the same frame) fitted on each axis with a
// normal profile integrated over the pixels: its centre in frame pixels. False, with fx, fy
// untouched, when the box holds no star or either fit fails; callers keep the centroid then.
bool fit_star_centre(const uint16_t* frame, int width, int height, const StarSignal& s, double& fx,
                     double& fy);

}  // namespace kvr
