#pragma once
// Slew-and-sum registration of a multi-frame run: each new frame is added onto a running sum
// with the drift of the stars between exposures removed. Both methods work on frames of the
// current geometry (width1 × height1, whole-buffer copies over intlength pixels) and keep their
// position state in integers that the caller holds between calls.
#include <cstdint>

namespace kvr {

struct Program;

inline constexpr int kAccumulateAdded = 0;
inline constexpr int kAccumulateRejected = 1;     // frame left out, the sum put back into it
inline constexpr int kAccumulateNoReference = 2;  // no reference star in the first frame

// Registration on the centroid of the picked star (radius `star_mask`). The first call
// (orig_x = 0) copies the frame into the sum and takes the star at (`xcent`, `ycent`), halved
// on binned frames, as the reference; orig_max is its peak. Later calls find the star again from
// (orig_x, orig_y), refuse a frame whose star peak is above 3 × or below 0.3 × orig_max, shift
// the sum onto the new position and add the frame to it; the frame then holds the sum.
// merge_x / merge_y receive the new position; orig_avg is not used by this method.
int track_accumulate(Program& p, uint16_t* fredptr, uint16_t* trialptr, int& orig_x, int& orig_y,
                     int& merge_x, int& merge_y, int& orig_max, int& orig_avg);

// Registration by brightness profiles of a 100 × 100 window (columns 200 … 299, rows
// merge_y + 100 … merge_y + 199): the first call (orig_avg = 0) copies the frame into the sum,
// looks for a window row base (0, 10 or 20) that holds a star and records the reference
// profiles; later calls find the row and column shifts (−10 … +9) that best match the profiles,
// add the shifted frame onto the sum and leave the sum in the frame. orig_x / orig_y hold the
// accumulated shift.
int slew_accumulate(Program& p, uint16_t* fredptr, uint16_t* trialptr, int& orig_x, int& orig_y,
                    int& merge_x, int& merge_y, int& orig_max, int& orig_avg);

}  // namespace kvr
