#pragma once
// A training's result as an observer reads it: each axis's motion on the sky in arcseconds per
// second (or per AO step) and its direction on the sensor in degrees, with the verdict.
#include <string>

#include "guiding/training_check.h"

namespace kvr {

struct Program;

// "RA 7.5″/s at 0.0°, Dec 7.5″/s at 90.0°, 90.0° apart: sound" — directions from the frame's +x
// towards +y with rows counted at their sky height (`row_height` column widths); the verdict is
// "sound" when `faults` is empty, else its first line. `per` names the unit of time or move ("s",
// "step"). The plate scale is the guiding graph's.
std::string training_sky_text(const Program& p, Motion ra, Motion dec, double row_height,
                              const char* per, const std::string& faults);

}  // namespace kvr
