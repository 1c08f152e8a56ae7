#pragma once
// Dithering between the frames of a multi-frame camera run while the guider head guides: every
// `dither_every_frames` frames (0: never) the guide reference moves by `dither_amount_px` in a
// random direction, and the next exposure waits until the star has settled within
// `dither_settle_px` of the new reference on two guide frames in a row, or until
// `dither_settle_limit_s` seconds have passed. Distances are in guide-frame columns, the unit of
// `guide_plate_scale`: a guider row, one field, counts as 1.93 (16.6 µm to 8.6 µm).
#include <cstdint>

#include "core/state_macros.h"

namespace kvr {

inline constexpr double kMinDitherPx = 0.1;
inline constexpr double kMaxDitherPx = 20.0;

#define KVR_DITHER_SETTINGS(V, T, A, L) \
    V(double, dither_amount_px, 3.0)    \
    V(int, dither_every_frames, 0)      \
    V(double, dither_settle_px, 1.0)    \
    V(int, dither_settle_limit_s, 60)
KVR_STATE_STRUCT(DitherSettings, KVR_DITHER_SETTINGS)

struct DitherState : DitherSettings {
    // The random sequence of dither directions, seeded from the calendar at the first dither.
    uint64_t random_state = 0;
    void register_in(Registry& r) {
        DitherSettings::register_in(r);
        r.limit("dither_every_frames", 0, 1000);
        r.limit("dither_settle_limit_s", 1, 3600);
    }
};

}  // namespace kvr
