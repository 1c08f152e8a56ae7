#pragma once
// Parameters shared by the contrast curves, the enhancement filters and their dialogs.
#include "app/state_macros.h"

namespace kvr {

#define KVR_PROCESSING_STATE(V, T, A, L) V(int, venetian_flipflop, 0)
KVR_STATE_STRUCT(ProcessingState, KVR_PROCESSING_STATE)

}  // namespace kvr
