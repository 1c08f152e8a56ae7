#pragma once
// State of the application shell: caption, progress window, guiding information window and the
// processing history shown by the Info command.
#include "core/state_macros.h"

namespace kvr {

inline constexpr int kProgressMax = 256;
// Longest progress title written: "READ QX CAMERA - Interlaced(2nd Exposure)" (41) + terminator.
inline constexpr int kProgressCaptionBytes = 42;
inline constexpr int kHistoryLines = 17;
inline constexpr int kHistoryLineBytes = 40;

#define KVR_SHELL_STATE(V, T, A, L)                \
    V(int, progress, 0)                            \
    T(progress_caption, kProgressCaptionBytes, "") \
    V(int, changecaption, 0)                       \
    T(info_caption, 50, "")                        \
    V(int, got_guide_image, 0)                     \
    V(int, ToolHelpPosTop, 1)                      \
    T(image_name, 20, "")                          \
    T(FileName, 260, "(Untitled)")                 \
    V(int, Fit, 0)                                 \
    V(int, pick_star, 0)                           \
    V(int, focus_frame, 0)                         \
    V(int, picked_star, 0)                         \
    V(int, pick_xcent, 0)                          \
    V(int, pick_ycent, 0)                          \
    V(int, centre_it, 0)                           \
    V(int, pick_small, 0)                          \
    V(int, pick_star_small, 0)                     \
    L(process_info, kHistoryLines, kHistoryLineBytes)
KVR_STATE_STRUCT(ShellState, KVR_SHELL_STATE)

}  // namespace kvr
