#pragma once
// Parameters shared by the contrast curves, the enhancement filters, the image arithmetic and
// their dialogs, and the tone curve last built.
#include <cstdint>
#include <memory>

#include "core/state_macros.h"

namespace kvr {

class DialogModel;

// One tone-curve entry per pair of pixel values (entry i serves 2i and 2i + 1).
inline constexpr int kToneTableEntries = 32768;

// `black` and `white` are the normal stretch's points in display units (left multiplied by 128
// after the stretch), the background stretch's black point in table units, the non-linear
// stretch's power (`white`), and the radius (`white`) and power (`black`, tenths for the median)
// of the unsharp mask and the median filter. `oldblack`/`oldwhite` are the marker positions the
// normal-stretch dialog last drew. `merge_type` is the file-combining operation: 's' subtract,
// 'a' average, 'f' flat field.
#define KVR_PROCESSING_STATE(V, T, A, L) \
    V(int, venetian_flipflop, 0)         \
    V(unsigned, black, 0)                \
    V(unsigned, white, 0)                \
    V(unsigned, oldblack, 0)             \
    V(unsigned, oldwhite, 0)             \
    V(double, power_str, 0.0)            \
    V(char, merge_type, 0)
KVR_STATE_STRUCT(ProcessingVariables, KVR_PROCESSING_STATE)

struct ProcessingState : ProcessingVariables {
    // The current tone curve, outputs 0 … 32767 (64 KiB, not registered entry by entry).
    uint16_t stretch_table[kToneTableEntries] = {};
    // The modeless Stretch Display dialog, made when first opened and kept for reopening.
    std::shared_ptr<DialogModel> stretch_display_dialog;

    void register_in(Registry& r) {
        ProcessingVariables::register_in(r);
        r.add_buffer("stretch_table", stretch_table, sizeof stretch_table);
    }
};

}  // namespace kvr
