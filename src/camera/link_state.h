#pragma once
// State of the camera's USB link and command protocol.
#include "app/state_macros.h"

namespace kvr {

#define KVR_LINK_STATE(V, T, A, L)
KVR_STATE_STRUCT(LinkState, KVR_LINK_STATE)

}  // namespace kvr
