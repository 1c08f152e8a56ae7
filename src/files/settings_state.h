#pragma once
// Stored settings and file-handling state.
#include "app/state_macros.h"

namespace kvr {

#define KVR_SETTINGS_STATE(V, T, A, L)
KVR_STATE_STRUCT(SettingsState, KVR_SETTINGS_STATE)

}  // namespace kvr
