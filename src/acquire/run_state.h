#pragma once
// State of the main camera's run loop.
#include "app/state_macros.h"

namespace kvr {

#define KVR_RUN_STATE(V, T, A, L)    \
    V(int, no_images, 1)             \
    V(int, end_loop, 0)              \
    V(int, exposure_save, 0)         \
    V(int, series_exposure, 0)       \
    V(int, cont_work, 0)             \
    V(int, series_work, 0)           \
    V(int, continuous, 0)            \
    V(int, selfguiding_darkframe, 0) \
    V(int, switch_frame, 0)          \
    V(int, switched_frame, 0)        \
    V(int, exp_value, 1)             \
    V(char, exp_range, 's')          \
    V(int, focus_mode, 0)            \
    V(int, auto_exposure, 0)
KVR_STATE_STRUCT(RunState, KVR_RUN_STATE)

}  // namespace kvr
