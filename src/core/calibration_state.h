#pragma once
// Trained calibrations at full precision. The settings file keeps whole numbers (RA_x, slewx,
// AOUnit_xrate …) in its fixed layout; a training measures tenths of a pixel, and a rate truncated
// to whole pixels per second is off by up to a third at these rates (4.2 px/s stored as 4, a
// (−3.6, −1.0) motion as (−3, −1)). The precise figures live beside the whole numbers in the guide
// settings file; `*_precise` says they belong to the whole numbers in force.
//
// Main camera: star motion on its guide frames per second of RA and Dec drive (px/s, along the
// frame's x and y) and the play of each axis (px). Guider: the motion per second of west and of
// north drive as vectors on the sensor (px/s) and the play of each axis (px). AO unit: the motion
// per step of the element's west and north moves (px/step), its own figures, never the mount's.
#include "core/state_macros.h"

namespace kvr {

#define KVR_CALIBRATION_STATE(V, T, A, L)  \
    V(int, main_calibration_precise, 0)    \
    V(double, main_ra_px_per_s, 0.0)       \
    V(double, main_dec_px_per_s, 0.0)      \
    V(double, main_ra_play_px, 0.0)        \
    V(double, main_dec_play_px, 0.0)       \
    V(int, guider_calibration_precise, 0)  \
    V(double, guider_ra_x_px_per_s, 0.0)   \
    V(double, guider_ra_y_px_per_s, 0.0)   \
    V(double, guider_dec_x_px_per_s, 0.0)  \
    V(double, guider_dec_y_px_per_s, 0.0)  \
    V(double, guider_ra_play_px, 0.0)      \
    V(double, guider_dec_play_px, 0.0)     \
    V(int, ao_calibration_precise, 0)      \
    V(double, ao_west_x_px_per_step, 0.0)  \
    V(double, ao_west_y_px_per_step, 0.0)  \
    V(double, ao_north_x_px_per_step, 0.0) \
    V(double, ao_north_y_px_per_step, 0.0)
KVR_STATE_STRUCT(CalibrationState, KVR_CALIBRATION_STATE)

}  // namespace kvr
