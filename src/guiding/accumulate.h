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

// A registration method. `add` puts the new frame in `fredptr` onto the running sum in `trialptr`
// and leaves the sum in both (a rejected frame is replaced by the sum without it). Its position
// state stays in the run between calls, all 0 before the first frame. Returns kAccumulateAdded,
// kAccumulateRejected or kAccumulateNoReference.
class AccumulationMethod {
  public:
    virtual int add(Program& p, uint16_t* fredptr, uint16_t* trialptr) const = 0;

  protected:
    ~AccumulationMethod() = default;
};

// On the centroid of the picked star. State: orig_x, orig_y (the star's last position), merge_x,
// merge_y (its newest) and orig_max (its peak in the first frame).
const AccumulationMethod& star_centroid_method();
// On brightness profiles of a 100 × 100 window. State: orig_x, orig_y (the accumulated shift),
// merge_y (the window's row base), orig_avg (non-zero once the reference is taken) and the run's
// profiles.
const AccumulationMethod& brightness_profile_method();
// The run's method: `slew_sum_alt` chooses brightness profiles.
const AccumulationMethod& run_accumulation_method(const Program& p);

}  // namespace kvr
