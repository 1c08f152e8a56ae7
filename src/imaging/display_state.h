#pragma once
// Display choices. They never change the 16-bit image data.
#include "app/state_macros.h"

namespace kvr {

#define KVR_DISPLAY_STATE(V, T, A, L) \
    V(int, Big, 0)                    \
    V(int, Geo, 0)
KVR_STATE_STRUCT(DisplayState, KVR_DISPLAY_STATE)

}  // namespace kvr
