#pragma once
// State of the measuring windows beside the main image: histogram, row profile, 3-D plot,
// merging, photometry and blink comparison. `photometry` itself is a display flag (the geometry
// commands test it); `merging` and `orig` live with the file state (File/Open tests them).
#include <cstdint>
#include <memory>

#include "core/state_macros.h"

namespace kvr {

class DialogModel;

// The image pointers (`externptr`, `extfredptr`, `exttrialptr`) are ImagePointers; the marked
// points `orig_x` … `merge_y` are the run state's, shared with the slew-and-sum accumulation.

// The histogram window's listing: a header line and at most 15 lines of 12 characters.
inline constexpr int kHistogramListingBytes = 256;

// Positions are image pixels; the `_val` sums are over the (2·`cur_rad` + 1)² measuring square
// (at most 17² × 65535, well inside 32 bits). `ph_object` is what the next photometry click
// records: 'o' object, 'c' comparison, 'b' background.
#define KVR_MEASURE_STATE(V, T, A, L)       \
    V(int, hist_already, 0)                 \
    V(int, intensity_plot, 0)               \
    V(int, row_plot, 0)                     \
    T(workfld2, kHistogramListingBytes, "") \
    V(int, average, 0)                      \
    V(int, merge_centre, 0)                 \
    V(char, ph_object, 'o')                 \
    V(int, obj_x, 0)                        \
    V(int, obj_y, 0)                        \
    V(int, obj_val, 0)                      \
    V(int, comp_x, 0)                       \
    V(int, comp_y, 0)                       \
    V(int, comp_val, 0)                     \
    V(int, back_x, 0)                       \
    V(int, back_y, 0)                       \
    V(int, back_val, 0)                     \
    V(int, back_select, 0)                  \
    V(int, mast_x, 0)                       \
    V(int, mast_y, 0)                       \
    V(int, mast_val, 0)                     \
    V(int, blinking, 0)
KVR_STATE_STRUCT(MeasureVariables, KVR_MEASURE_STATE)

// The window models, made when first opened and kept for reopening (a modeless window's model
// must outlive the window).
struct MeasureWindows {
    std::shared_ptr<DialogModel> histogram, plot3d, row, merge, photometry, blink;
};

struct MeasureState : MeasureVariables {
    MeasureWindows windows;
};

}  // namespace kvr
