#pragma once
// Guide loop flags, centroid results and calibration. Guide errors are in signed thousandths of a
// pixel, pulses in milliseconds.
// old_xcent / old_ycent: the centroid before the guide sub-frame was placed; focus_width1 /
// focus_height1: half size of that 128 × 128 sub-frame; drawx / drawy: where the star is expected
// in it. got_guidercam: the guider dialog has been shown once; guider_picked_star: a guider star
// has been picked at (guider_pick_xcent, guider_pick_ycent).
// Guiding: (x1, y1) with tenths x1dec / y1dec is the reference position; dx / dy the error,
// reference minus measured; x3 / y3 the error as measured, before rotation or backlash;
// lastslewx / lastslewy the last RA / Dec direction letters (for backlash); slew_time_x /
// slew_time_y the last pulse (ms) or AO move (steps) per axis; fst: the main-camera loop has not
// read its first frame yet.
// Main-camera training: x1 … x5 / y1 … y5 the star positions after each test pulse; fst_run: the
// guide-interface box has not had its wake-up pulses yet.
// Guider training: RA_x, RA_y / Dec_x, Dec_y the star motion on the guider sensor per second of
// west / north drive (pixels); RA_rate / Dec_rate their lengths (>= 1 after training); theta the
// angle of the RA motion against the sensor's y axis (radians); quadrant the sign class of
// (RA_x, RA_y): 1 both >= 0, 3 both < 0, else 2; *_backx, *_backy, *_backlash the backlash
// vectors and lengths (pixels). guider_training_pos: index of the last recorded position.
#include <array>
#include <cstdint>
#include <memory>

#include "core/ring_log.h"
#include "core/state_macros.h"

namespace kvr {

inline constexpr int kGuiderInfoCaptionBytes = 80;
inline constexpr int kDarkframeBaseTextBytes = 33;
// guider_aggressiveness: percent of each measured error that the trained guider and AO paths
// correct (the rest is left to the next frames, so that seeing is not fed to the mount).
inline constexpr int kMinAggressiveness = 10;

// Loops: guiding (main camera), tracking (the self-guide star is being followed), training,
// selfguiding, guider_guiding (the guider beside a main exposure), guider_guiding_standalone
// (command 890). guider_guiding_failed ends the guider's loop; guided_image: a guider frame has
// been read, so the pictures have something to show.
// Centroids: xcent/ycent (main camera) and guider_xcent/guider_ycent in pixels, each with its
// tenths in *dec. x1/y1 (+ x1dec/y1dec) are the reference a guide loop holds the star at; dx/dy
// the last error in thousandths of a pixel, copied to x3/y3 for the guiding information window;
// x2, x4, x5 / y2, y4, y5 (with x3/y3 while training) the positions of the training steps. cur_rad:
// centroid box radius. old_xcent/old_ycent: the self-guide star within its 128 × 128 window, kept
// across reads; drawx/drawy: where its cross is drawn. focus_width1/focus_height1: half the focus
// window. Guider frames: exp_guider_value in units of exp_guider_range ('h' 10 ms, 't' 100 ms, else
// 1 s) within min_guider_exp…max_guider_exp; guider_stretch (5, 6, 7 gain 4, 2, 1; 8 none),
// guider_use_median (hot-pixel filter), guider_use_darkframe / guider_taking_darkframe /
// guider_darkframe_loaded and darkframe_base_text for the dark frame; guider_max_stretch,
// guider_most_pop, guider_max_val map the frame to the picture; guider_exposure_delay: the "1 Sec
// Pause" between preview frames.
// Picking: guider_pick_star (pick mode on the guider picture), guider_picked_star with
// guider_pick_xcent/guider_pick_ycent; guider_pick_star_save keeps pick mode over a dialog run;
// guiderwrk_x/_y/_val: the pointer over the picture and the pixel under it.
// Pulses: slew_time_x/slew_time_y the last pulse lengths (ms, or AO steps); lastslewx/lastslewy
// the last directions, for the play allowance on a reversal. fst: the main-camera loop's first
// frame is still to come; fst_run: the box's first training run, which starts with box pulses.
// Guider training: RA_x/RA_y and Dec_x/Dec_y star motion in px/s of west and north drive;
// RA_rate/Dec_rate their lengths; theta the camera angle; quadrant of the RA motion (1…3);
// RA_back*/Dec_back* the play vectors and lengths in px; guider_trained / guider_use_trained;
// guider_training (positions drawn) with guider_training_pos the last one; AOUnit_trained /
// AOUnit_use_trained likewise for the AO unit. auto_guider_training: the guider loop is training
// rather than guiding. start_guider: the guider dialog closed with "Start Guiding".
// guider_continuous is kept for scripts that set it; nothing reads it.
// The guide star on the last guide frame (guiding/star_watch.h): guide_star_lost is set while
// frames show no guide star, since guide_star_lost_since_ms; guide_star_flux is its running
// flux (ADU above the sky).
#define KVR_GUIDE_STATE(V, T, A, L)                     \
    V(int, guiding, 0)                                  \
    V(int, tracking, 0)                                 \
    V(int, training, 0)                                 \
    V(int, selfguiding, 0)                              \
    V(int, guider_guiding, 0)                           \
    V(int, guider_guiding_standalone, 0)                \
    V(int, xcent, 0)                                    \
    V(int, ycent, 0)                                    \
    V(int, xcentdec, 0)                                 \
    V(int, ycentdec, 0)                                 \
    V(int, guider_xcent, 0)                             \
    V(int, guider_ycent, 0)                             \
    V(int, guider_xcentdec, 0)                          \
    V(int, guider_ycentdec, 0)                          \
    V(int, x1, 0)                                       \
    V(int, y1, 0)                                       \
    V(int, x3, 0)                                       \
    V(int, y3, 0)                                       \
    V(int, cur_rad, 4)                                  \
    V(uint16_t, exp_guider_value, 1)                    \
    V(char, exp_guider_range, 's')                      \
    V(int, guider_stretch, 8)                           \
    V(int, guider_use_median, 1)                        \
    V(int, guider_use_darkframe, 0)                     \
    V(int, guider_taking_darkframe, 0)                  \
    V(int, guider_max_stretch, 1)                       \
    V(int, guider_most_pop, 0)                          \
    V(int, guider_max_val, 0)                           \
    V(int, old_xcent, 64)                               \
    V(int, old_ycent, 64)                               \
    V(int, drawx, 0)                                    \
    V(int, drawy, 0)                                    \
    V(int16_t, focus_width1, 64)                        \
    V(int16_t, focus_height1, 64)                       \
    V(int, got_guidercam, 0)                            \
    V(int, guider_picked_star, 0)                       \
    V(int, guider_pick_xcent, 0)                        \
    V(int, guider_pick_ycent, 0)                        \
    V(int, guider_pick_star, 0)                         \
    V(int, x1dec, 0)                                    \
    V(int, y1dec, 0)                                    \
    V(int16_t, dx, 0)                                   \
    V(int16_t, dy, 0)                                   \
    V(uint16_t, slew_time_x, 0)                         \
    V(uint16_t, slew_time_y, 0)                         \
    V(char, lastslewx, 'e')                             \
    V(char, lastslewy, 'n')                             \
    V(int, fst, 1)                                      \
    V(int, fst_run, 1)                                  \
    V(int, x2, 0)                                       \
    V(int, x4, 0)                                       \
    V(int, x5, 0)                                       \
    V(int, y2, 0)                                       \
    V(int, y4, 0)                                       \
    V(int, y5, 0)                                       \
    V(int, guider_guiding_failed, 0)                    \
    V(int, guided_image, 0)                             \
    V(int, auto_guider_training, 0)                     \
    T(guider_info_caption, kGuiderInfoCaptionBytes, "") \
    V(int, RA_x, 7)                                     \
    V(int, RA_y, 0)                                     \
    V(int, Dec_x, 0)                                    \
    V(int, Dec_y, 7)                                    \
    V(int, RA_rate, 0)                                  \
    V(int, Dec_rate, 0)                                 \
    V(float, theta, 0.0f)                               \
    V(int, quadrant, 1)                                 \
    V(int, RA_backx, 0)                                 \
    V(int, RA_backy, 0)                                 \
    V(int, RA_backlash, 0)                              \
    V(int, Dec_backx, 0)                                \
    V(int, Dec_backy, 0)                                \
    V(int, Dec_backlash, 0)                             \
    V(int, guider_trained, 0)                           \
    V(int, guider_use_trained, 0)                       \
    V(int, guider_training, 0)                          \
    V(int16_t, guider_training_pos, 0)                  \
    V(int, AOUnit_trained, 0)                           \
    V(int, AOUnit_use_trained, 0)                       \
    V(int, guider_exposure_delay, 0)                    \
    V(int, guider_pick_star_save, 0)                    \
    V(int, start_guider, 0)                             \
    V(uint16_t, min_guider_exp, 1)                      \
    V(uint16_t, max_guider_exp, 10)                     \
    V(int, guider_darkframe_loaded, 0)                  \
    T(darkframe_base_text, kDarkframeBaseTextBytes, "") \
    V(uint16_t, guiderwrk_x, 0)                         \
    V(uint16_t, guiderwrk_y, 0)                         \
    V(uint16_t, guiderwrk_val, 0)                       \
    V(int, guider_continuous, 0)                        \
    V(int, guider_aggressiveness, 50)                   \
    V(int, guide_star_lost, 0)                          \
    V(uint32_t, guide_star_lost_since_ms, 0)            \
    V(double, guide_star_flux, 0.0)
KVR_STATE_STRUCT(GuideVariables, KVR_GUIDE_STATE)

// One correction sent by a guide path, for the guiding graph and the tests: when (ms of the
// clock), which axis ('x' RA, 'y' Dec), the direction letter sent and its length (ms for the
// mount, steps for the AO unit).
struct GuidePulse {
    uint32_t at_ms = 0;
    char axis = 0;
    char direction = 0;
    int length = 0;
    bool ao = false;
};

// The last corrections.
using GuidePulseLog = RingLog<GuidePulse, 4096>;

// Star positions recorded by a guider or AO training (start, then pos0 … pos7), drawn by the
// guider dialog while `guider_training` is set. Beside the whole pixels: the same positions to a
// tenth of a pixel, the star's flux (ADU above the sky) and whether the box held a star at all.
struct GuiderTrainingPositions {
    static constexpr int kPositions = 10;
    int startx = 0, starty = 0;
    int x[kPositions] = {};
    int y[kPositions] = {};
    double start_fx = 0, start_fy = 0, start_flux = 0;
    double fx[kPositions] = {};
    double fy[kPositions] = {};
    double flux[kPositions] = {};
    bool star[kPositions] = {};
};

// The guide star's recent errors (x3, y3, thousandths of a pixel) on the guider path, oldest
// overwritten first: the movement box of the guiding-information window draws them as a trail.
struct GuideErrorTrail {
    static constexpr int kCapacity = 40;
    int x[kCapacity] = {};
    int y[kCapacity] = {};
    int next = 0;
    int count = 0;
    void record(int ex, int ey) {
        x[next] = ex;
        y[next] = ey;
        next = (next + 1) % kCapacity;
        if (count < kCapacity) ++count;
    }
    // The i-th newest point (0 = newest), i < count.
    int slot(int i) const { return (next - 1 - i + 2 * kCapacity) % kCapacity; }
    void clear() { next = count = 0; }
};

class DialogModel;

// How far the guider's fitted star height (guiding/star_fit.h) stood below the centroid's row
// with its tenths on the first frame measured against the reference (x1, y1, x1dec, y1dec) of
// `key`, px: fitted heights are held to that reference moved by dy. A new reference (a new guide
// star, a guide start, a moved lock position) takes a new offset.
struct FittedReference {
    std::array<int, 4> key{};
    double dy = 0;
    bool set = false;
};

struct GuideState : GuideVariables {
    // The last main-camera centroid found a star (false: nothing stood above the background, and
    // the results were left as they were).
    bool centre_found = false;
    GuidePulseLog pulses;
    GuiderTrainingPositions guider_positions;
    GuideErrorTrail guider_trail;
    FittedReference fitted_reference;
    // The guiding-information window of the guider head (made on first use, kept).
    std::shared_ptr<DialogModel> guider_info_window;
};

}  // namespace kvr
