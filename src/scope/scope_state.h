#pragma once
// Telescope drive selection: 'n' none, 'l' LX200 commands, 'b' guide-interface box.
#include "app/state_macros.h"

namespace kvr {

#define KVR_SCOPE_STATE(V, T, A, L) V(char, telescope, 'n')
KVR_STATE_STRUCT(ScopeState, KVR_SCOPE_STATE)

}  // namespace kvr
