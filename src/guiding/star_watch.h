#pragma once
// Tells a guide frame that measured the guide star from one that did not. A centroid always
// returns a position, even for a box of sky; a correction from it would drive the mount after
// noise. A frame whose box holds no star, or a star far fainter or brighter than the guide star
// has been running at (a cloud, the star driven out of the box, a neighbour come into it), is
// not a measurement: no correction is sent, the windows show the star as lost, and guiding waits
// for it. Thin cloud takes up to 40 % of the light for a minute and a half, which is no loss.
#include <cstddef>
#include <cstdint>

#include "guiding/star_signal.h"

namespace kvr {

struct Program;

// How long guiding waits for a lost star to come back before it gives up, ms.
inline constexpr uint32_t kLostStarPatienceMs = 120000;
// Shares of the running flux beyond which the box holds something else than the guide star.
inline constexpr double kLostFluxShare = 0.25;
inline constexpr double kOtherStarFluxShare = 4.0;

enum class StarSeen {
    kMeasured,  // a measurement: correct from it
    kLost,      // not a measurement: send nothing, keep waiting
    kGone,      // lost for longer than the patience: guiding ends
};

// Judges the star a guide frame's centroid found, updates the running flux and
// `guide_star_lost`, and says what the frame is worth.
StarSeen watch_guide_star(Program& p, const StarSignal& star);
// A new guide run: no running flux yet, the star not lost.
void reset_star_watch(Program& p);
// The guiding-information caption (`caption`, `bytes` long) while guiding runs: "Guiding Info",
// or "Guiding Info - star lost" while the guide star is not seen.
void show_star_state(Program& p, char* caption, size_t bytes);

}  // namespace kvr
