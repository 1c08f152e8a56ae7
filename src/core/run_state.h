#pragma once
// State of the main camera's run loop, its camera control dialog and the multi-frame
// accumulation. Times are milliseconds unless a name says otherwise; calendar times are seconds.
#include <cstdint>

#include "core/state_macros.h"

namespace kvr {

// Run parameters: exp_value in units of exp_range ('q' ms, 'h' 10 ms, 't' 100 ms, 's' s,
// 'm' min); no_images frames left in this run; series_exposure five runs of rising exposure.
// Working state: exposure_save the exposure at run start; total_images the frame count at run
// start; cont_work / series_work the run-level copies of continuous / series_exposure that a stop
// clears; end_loop a stop was requested; stopit ends the focus loop; start_exp / end_exp calendar
// times of a frame's start and display. darkframe_loaded / flatfield_loaded: the calibration
// frame of this run is in undo_int / save_int. Self-guiding: selfguidinghigh the frame is
// high-resolution and switches field at half time, selfguiding21 it is interpolated,
// highres21_selfguide this frame needs the interpolation; darkframes guide frames of a matching
// dark, selfguidingframes those taken so far. Accumulation (slew-and-sum): orig_x / orig_y the
// reference position or accumulated shift, merge_x / merge_y the newest position (merge_y the
// measuring window's row base of the profile method), orig_max the reference star's peak,
// orig_avg the first frame's mean level (0 before the first frame). Dialog: max_exp / min_exp
// bounds of exp_value for the chosen range; max_value the last focus frame's peak.
#define KVR_RUN_STATE(V, T, A, L)       \
    V(int, no_images, 1)                \
    V(int, end_loop, 0)                 \
    V(int, exposure_save, 0)            \
    V(int, series_exposure, 0)          \
    V(int, cont_work, 0)                \
    V(int, series_work, 0)              \
    V(int, continuous, 0)               \
    V(int, selfguiding_darkframe, 0)    \
    V(int, switch_frame, 0)             \
    V(int, switched_frame, 0)           \
    V(int, exp_value, 1)                \
    V(char, exp_range, 's')             \
    V(int, focus_mode, 0)               \
    V(int, auto_exposure, 0)            \
    V(int, total_images, 1)             \
    V(int, stopit, 0)                   \
    V(int, focus_wait, 0)               \
    V(int32_t, start_exp, 0)            \
    V(int32_t, end_exp, 0)              \
    V(int, start_maincam, 0)            \
    V(int, start_autoguidercam, 0)      \
    V(int, switching, 0)                \
    V(int, pick_star_save, 0)           \
    V(int, last_selfguided, 0)          \
    V(int, darkframe_loaded, 0)         \
    V(int, flatfield_loaded, 0)         \
    V(int, selfguiding_exp_value, 0)    \
    V(char, selfguiding_exp_range, 's') \
    V(int, selfguidinghigh, 0)          \
    V(int, selfguiding21, 0)            \
    V(int, highres21_selfguide, 0)      \
    V(int, first_selfguide, 1)          \
    V(int, selfguidingframes, 0)        \
    V(int, darkframes, 0)               \
    V(int, slew_sum_alt, 0)             \
    V(int, slew_sum_average, 0)         \
    V(int, orig_x, 0)                   \
    V(int, orig_y, 0)                   \
    V(int, merge_x, 0)                  \
    V(int, merge_y, 0)                  \
    V(int, orig_max, 0)                 \
    V(int, orig_avg, 0)                 \
    V(int, max_exp, 300)                \
    V(int, min_exp, 1)                  \
    V(uint16_t, max_value, 0)
KVR_STATE_STRUCT(RunVariables, KVR_RUN_STATE)

// Brightness profiles of the profile-matching accumulation: row and column sums of its
// 100 × 100 measuring window, for the reference frame (_1) and the newest frame (_2).
inline constexpr int kProfileLength = 100;
struct SlewSumProfiles {
    int64_t rowsum_1[kProfileLength] = {};
    int64_t colsum_1[kProfileLength] = {};
    int64_t rowsum_2[kProfileLength] = {};
    int64_t colsum_2[kProfileLength] = {};
};

// What the read phase did to the frame it delivered, for the processing history written when the
// frame is shown: a calibration counts only when it was applied to this frame.
struct FrameRecord {
    bool dark_applied = false;
    bool flat_applied = false;
};

struct RunState : RunVariables {
    SlewSumProfiles profiles;
    FrameRecord frame;
    // A camera run (camera_control) is in progress: the window command is refused meanwhile, since
    // the run's pumps would otherwise let a second run start inside the first.
    bool running = false;
};

}  // namespace kvr
