#include "guiding/star_watch.h"

#include <cstdio>
#include <cstring>

#include "core/program.h"
#include "guiding/guide_errors.h"

namespace kvr {

namespace {

// Weight of each measured frame in the running flux: some twenty frames' memory, so that a slow
// change (the star sinking, haze) is followed while a passing cloud is not: a level that
// followed the cloud down would take the star for another when the cloud clears.
constexpr double kFluxFollow = 0.05;
constexpr const char* kGuidingCaption = "Guiding Info";
constexpr const char* kLostCaption = "Guiding Info - star lost";

}  // namespace

void show_star_state(Program& p, char* caption, size_t bytes) {
    const char* text = p.guide.guide_star_lost ? kLostCaption : kGuidingCaption;
    if (bytes > 0 && std::strncmp(caption, text, bytes) != 0)
        std::snprintf(caption, bytes, "%s", text);
}

void reset_star_watch(Program& p) {
    GuideState& g = p.guide;
    g.guide_star_flux = 0;
    g.guide_star_lost = 0;
    g.guide_star_lost_since_ms = 0;
    g.fitted_reference = {};
}

StarSeen watch_guide_star(Program& p, const StarSignal& star) {
    note_guide_star(p, star);
    GuideState& g = p.guide;
    const double level = g.guide_star_flux;
    const bool seen =
        holds_star(star) && (level <= 0 || (star.flux >= kLostFluxShare * level &&
                                            star.flux <= kOtherStarFluxShare * level));
    const uint32_t now = p.clock.ms();
    if (seen) {
        g.guide_star_flux = level <= 0 ? star.flux : level + kFluxFollow * (star.flux - level);
        g.guide_star_lost = 0;
        return StarSeen::kMeasured;
    }
    if (!g.guide_star_lost) {
        g.guide_star_lost = 1;
        g.guide_star_lost_since_ms = now;
    }
    return now - g.guide_star_lost_since_ms > kLostStarPatienceMs ? StarSeen::kGone
                                                                  : StarSeen::kLost;
}

}  // namespace kvr
