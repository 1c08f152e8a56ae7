#pragma once
// The guiding graph: its settings, the running figures it shows and the history of measured
// guide errors it plots (the corrections sent are in the guide state's pulse log).
// guide_plate_scale: arcseconds per column of a guide frame (a main-camera guide window or the
// guider head); a row of either is one field, 16.6 µm tall to the columns' 8.6 µm.
// guide_graph_minutes: the span the graph shows and its RMS figures cover. guide_rms_ra /
// guide_rms_dec / guide_rms_total: the RMS about the mean, in arcseconds, of the errors within that
// span; guide_graph_samples: how many.
#include <cstdint>
#include <memory>

#include "core/ring_log.h"
#include "core/state_macros.h"

namespace kvr {

class DialogModel;

// About 985 mm of focal length on the sensor's 8.6 µm columns.
inline constexpr double kDefaultPlateScale = 1.8;
inline constexpr double kMinPlateScale = 0.01;
inline constexpr double kMaxPlateScale = 100.0;
inline constexpr int kMaxGraphMinutes = 60;

// A scale the graph can use (a script may set any number): finite and within the limits above.
inline bool plate_scale_usable(double arcsec_per_px) {
    return arcsec_per_px >= kMinPlateScale && arcsec_per_px <= kMaxPlateScale;
}

#define KVR_GUIDE_GRAPH_SETTINGS(V, T, A, L)         \
    V(double, guide_plate_scale, kDefaultPlateScale) \
    V(int, guide_graph_minutes, 5)
KVR_STATE_STRUCT(GuideGraphSettings, KVR_GUIDE_GRAPH_SETTINGS)

#define KVR_GUIDE_GRAPH_FIGURES(V, T, A, L) \
    V(double, guide_rms_ra, 0.0)            \
    V(double, guide_rms_dec, 0.0)           \
    V(double, guide_rms_total, 0.0)         \
    V(int, guide_graph_samples, 0)
KVR_READ_ONLY_STATE_STRUCT(GuideGraphFigures, KVR_GUIDE_GRAPH_FIGURES)

// One measured guide error on the sky: when (ms of the clock) and the star's offset from its
// reference along RA and Dec, arcseconds.
struct GuideErrorSample {
    uint32_t at_ms = 0;
    float ra_arcsec = 0;
    float dec_arcsec = 0;
    // The star in that frame: signal-to-noise ratio and flux above the sky ("mass", ADU).
    float snr = 0;
    float mass = 0;
};

// The last errors: an hour of one-second guide frames.
using GuideErrorLog = RingLog<GuideErrorSample, 4096>;

struct GuideGraphState : GuideGraphSettings, GuideGraphFigures {
    GuideErrorLog errors;
    // Corrections sent before this time (ms of the clock) were cleared from the graph.
    uint32_t pulses_from_ms = 0;
    // The guide star as last measured (snr, flux ADU), for the next error recorded.
    float star_snr = 0, star_mass = 0;
    // The window's model, made when first opened and kept for reopening.
    std::shared_ptr<DialogModel> window;
    void register_in(Registry& r) {
        GuideGraphSettings::register_in(r);
        GuideGraphFigures::register_in(r);
        r.limit("guide_graph_minutes", 1, kMaxGraphMinutes);
    }
};

}  // namespace kvr
