#pragma once
// Stored settings and file-handling state.
#include "app/state_macros.h"

namespace kvr {

// Debug_Mode / Show_Interface_Details: show intermediate values of device and guide operations.
#define KVR_SETTINGS_STATE(V, T, A, L) \
    V(int, Debug_Mode, 0)              \
    V(int, Show_Interface_Details, 0)  \
    V(int, star_mask, 8)               \
    V(int, tifswitch, 0)               \
    V(int, Filter_Index, 3)            \
    T(lastdir, 100, "")
KVR_STATE_STRUCT(SettingsState, KVR_SETTINGS_STATE)

}  // namespace kvr
