#pragma once
// Guide loop flags and centroid results. Guide errors are in signed thousandths of a pixel.
// old_xcent / old_ycent: the centroid before the guide sub-frame was placed; focus_width1 /
// focus_height1: half size of that 128 × 128 sub-frame; drawx / drawy: where the star is expected
// in it. got_guidercam: the guider dialog has been shown once; guider_picked_star: a guider star
// has been picked.
#include "core/state_macros.h"

namespace kvr {

#define KVR_GUIDE_STATE(V, T, A, L)      \
    V(int, guiding, 0)                   \
    V(int, tracking, 0)                  \
    V(int, training, 0)                  \
    V(int, selfguiding, 0)               \
    V(int, guider_guiding, 0)            \
    V(int, guider_guiding_standalone, 0) \
    V(int, xcent, 0)                     \
    V(int, ycent, 0)                     \
    V(int, xcentdec, 0)                  \
    V(int, ycentdec, 0)                  \
    V(int, guider_xcent, 0)              \
    V(int, guider_ycent, 0)              \
    V(int, guider_xcentdec, 0)           \
    V(int, guider_ycentdec, 0)           \
    V(int, x1, 0)                        \
    V(int, y1, 0)                        \
    V(int, x3, 0)                        \
    V(int, y3, 0)                        \
    V(int, cur_rad, 4)                   \
    V(uint16_t, exp_guider_value, 1)     \
    V(char, exp_guider_range, 's')       \
    V(int, guider_stretch, 8)            \
    V(int, guider_use_median, 1)         \
    V(int, guider_use_darkframe, 0)      \
    V(int, guider_taking_darkframe, 0)   \
    V(int, guider_max_stretch, 1)        \
    V(int, guider_most_pop, 0)           \
    V(int, guider_max_val, 0)            \
    V(int, old_xcent, 64)                \
    V(int, old_ycent, 64)                \
    V(int, drawx, 0)                     \
    V(int, drawy, 0)                     \
    V(int16_t, focus_width1, 64)         \
    V(int16_t, focus_height1, 64)        \
    V(int, got_guidercam, 0)             \
    V(int, guider_picked_star, 0)
KVR_STATE_STRUCT(GuideState, KVR_GUIDE_STATE)

}  // namespace kvr
