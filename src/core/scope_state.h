#pragma once
// Telescope drive selection: 'n' none, 'l' LX200 commands, 'b' guide-interface box.
#include "core/state_macros.h"

namespace kvr {

// move_error / scope_error: the mount's last text answer, up to its first '#'. comfound: the
// link to the mount has been checked. Filterbox_Filter: the current filter, 1 … Max_Filters.
inline constexpr int kScopeAnswerBytes = 100;

#define KVR_SCOPE_STATE(V, T, A, L)       \
    V(char, telescope, 'n')               \
    T(move_error, kScopeAnswerBytes, "")  \
    T(scope_error, kScopeAnswerBytes, "") \
    V(int, comfound, 0)                   \
    V(uint16_t, Filterbox_Filter, 1)
KVR_STATE_STRUCT(ScopeState, KVR_SCOPE_STATE)

}  // namespace kvr
