#pragma once
// One guide correction: measure the guide star against the reference position and turn the error
// into drive pulses (or AO moves). Errors are in thousandths of a pixel, reference minus measured:
// a positive dx means the star now lies at a smaller x than the reference.
#include <cstdint>

namespace kvr {

struct Program;

// Errors beyond these end main-camera guiding (star lost) or are skipped by the guider paths.
inline constexpr int kMainLostError = 5000;
inline constexpr int kGuiderSkipError = 8000;

// Centroids at the reference (`x1`, `y1`) with `cur_rad` on the main camera (`find_centre`) or
// the guider (`guider_find_centre`) and, when the box holds the guide star, sets `dx`, `dy`,
// `x3`, `y3`. Returns the centroid's result (1 = failed), or kStarNotSeen (no guide star in the
// box: nothing to correct from, the errors are left as they were) or kStarGone (not seen for
// longer than guiding waits for it).
inline constexpr int kStarNotSeen = 4;
inline constexpr int kStarGone = 5;
int measure_guide_error(Program& p, const uint16_t* frame, bool guider);

// What the guider paths show when the guide star stays lost.
inline constexpr const char* kGuiderStarLostText =
    "Guide star lost: no star in the guide box for two minutes, guiding stopped";

// One main-camera correction on the 128 × 128 guide frame. 0: corrected or nothing to do (also a
// frame without the star); 1: the star has moved more than 5 pixels, or stayed lost (lost).
int guide_telescope(Program& p, const uint16_t* fredptr);

// One guider-camera correction through the mount: trained (the error decomposed on the trained
// RA and Dec motion vectors) or untrained (sensor x as RA, y as Dec). 3 when the centroid failed
// (`guider_guiding_failed` set), else 0.
int guider_guide_telescope(Program& p, const uint16_t* fredptr);
// The same through the AO unit, in unit steps (`AOUnit_slewx`, `AOUnit_slewy` per pixel).
int guider_guide_ao_unit(Program& p, const uint16_t* fredptr);
// The corrections alone, on the error already in `dx`, `dy` (`x3`, `y3`).
int main_correction(Program& p);  // 1 when the star is lost
void guider_mount_correction(Program& p);
void guider_ao_correction(Program& p);

// Either of the two by `GuiderMode` ('T' telescope, anything else the AO unit).
int guider_guide_command(Program& p, const uint16_t* fredptr);

}  // namespace kvr
