#pragma once
// Slew-and-sum registration of a multi-frame run: each new frame is added onto a running sum
// with the drift of the stars between exposures removed. Both methods work on frames of the
// current geometry (width1 × height1, whole-buffer copies over intlength pixels) and keep their
// position state in the run between calls.
#include <cstdint>

namespace kvr {

struct Program;

inline constexpr int kAccumulateAdded = 0;
inline constexpr int kAccumulateRejected = 1;     // frame left out, the sum put back into it
inline constexpr int kAccumulateNoReference = 2;  // no reference star in the first frame

// The two registration methods; the run's `slew_sum_alt` chooses brightness profiles.
enum class AccumulationMethod { StarCentroid, BrightnessProfiles };

// Adds the new frame in `fredptr` onto the running sum in `trialptr` by `method`, keeping the
// position state between calls in the run's orig_x, orig_y, merge_x, merge_y, orig_max and
// orig_avg (all 0 before the first frame). Returns kAccumulateAdded, kAccumulateRejected or
// kAccumulateNoReference.
int accumulate_frame(Program& p, AccumulationMethod method, uint16_t* fredptr, uint16_t* trialptr);

}  // namespace kvr
