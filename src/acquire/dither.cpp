#include "acquire/dither.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "acquire/guiding_link.h"
#include "acquire/run_steps.h"
#include "camera/camera_protocol.h"
#include "core/messages.h"
#include "core/program.h"
#include "guiding/guide_log.h"

namespace kvr {

namespace {

// Guide frames in a row within the tolerance that make the star settled: one alone may be
// seeing that happened to fall near the reference.
constexpr int kSettledFrames = 2;
// Beyond one dither's length from where the run started, the next dither turns back towards it
// (within this angle either side), so that a night of dithers stays within two lengths.
constexpr double kTurnBackDegrees = 60.0;

double uniform(DitherState& d) {
    // splitmix64: small, and the same sequence from the same seed on every machine.
    uint64_t z = (d.random_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / 9007199254740992.0;  // [0, 1)
}

// The reference in guider pixels (x columns, y rows), and back into whole pixels and tenths.
double lock_x(const GuideState& g) {
    return g.x1 + g.x1dec / 10.0;
}
double lock_y(const GuideState& g) {
    return g.y1 + g.y1dec / 10.0;
}
void split_tenths(double px, int& whole, int& tenths) {
    const long all = std::lround(px * 10.0);
    whole = static_cast<int>(std::floor(all / 10.0));
    tenths = static_cast<int>(all - 10L * whole);
}

double clamp_px(double v, double fallback) {
    return std::isfinite(v) ? std::clamp(v, kMinDitherPx, kMaxDitherPx) : fallback;
}

// The dither's offset in columns: a random direction, turned back towards the run's first
// reference when the reference has wandered more than one length from it.
void choose_offset(Program& p, const RunContext& c, double length, double& ox, double& oy) {
    DitherState& d = p.dither;
    if (d.random_state == 0) d.random_state = static_cast<uint64_t>(p.clock.calendar_time()) | 1;
    const double pi = std::acos(-1.0);
    const double cx = lock_x(p.guide) - c.dither_origin_x;
    const double cy = (lock_y(p.guide) - c.dither_origin_y) * kFieldRowInColumns;
    double angle = 2.0 * pi * uniform(d);
    if (std::hypot(cx, cy) > length)
        angle = std::atan2(-cy, -cx) + (2.0 * uniform(d) - 1.0) * kTurnBackDegrees * pi / 180.0;
    ox = length * std::cos(angle);
    oy = length * std::sin(angle);
}

// Guides until the star has stayed within `tolerance` columns of the reference for
// kSettledFrames frames. False when it did not within `limit_ms`, or guiding failed or stopped.
bool settle(Program& p, double tolerance, uint32_t limit_ms) {
    const GuideState& g = p.guide;
    const uint32_t start = p.clock.ms();
    int within = 0;
    while (!p.run.end_loop && p.clock.ms() - start < limit_ms) {
        if (!external_guider_step(p)) return false;
        clear_messages(p);
        const double error = std::hypot(0.001 * g.dx, 0.001 * g.dy * kFieldRowInColumns);
        within = !g.guide_star_lost && error <= tolerance ? within + 1 : 0;
        if (within >= kSettledFrames) return true;
    }
    return false;
}

}  // namespace

void dither_before_exposure(Program& p, RunContext& c) {
    GuideState& g = p.guide;
    const DitherState& d = p.dither;
    if (d.dither_every_frames < 1 || c.frames_taken < 1 || c.frames_taken % d.dither_every_frames)
        return;
    if (!c.guider_started || !g.guider_guiding || p.run.end_loop) return;
    if (!c.dither_origin_set) {
        c.dither_origin_set = true;
        c.dither_origin_x = lock_x(g);
        c.dither_origin_y = lock_y(g);
    }
    double ox = 0, oy = 0;
    choose_offset(p, c, clamp_px(d.dither_amount_px, 3.0), ox, oy);
    const double dx = ox, dy = oy / kFieldRowInColumns;
    split_tenths(lock_x(g) + dx, g.x1, g.x1dec);
    split_tenths(lock_y(g) + dy, g.y1, g.y1dec);
    char text[160];
    std::snprintf(text, sizeof text, "DITHER by %.3f, %.3f, new lock pos = %.3f, %.3f", dx, dy,
                  lock_x(g), lock_y(g));
    guide_log_info(p, text);
    guide_log_info(p, "SETTLING STATE CHANGE, Settling started");
    const uint32_t start = p.clock.ms();
    const int limit_s = std::clamp(d.dither_settle_limit_s, 1, 3600);
    const bool settled =
        settle(p, clamp_px(d.dither_settle_px, 1.0), static_cast<uint32_t>(limit_s) * 1000u);
    guide_log_info(p, settled ? "SETTLING STATE CHANGE, Settling complete"
                              : "SETTLING STATE CHANGE, Settling failed");
    std::snprintf(text, sizeof text, "Dither by %.1f, %.1f px: %s after %.0f s", dx, dy,
                  settled ? "settled" : "not settled", (p.clock.ms() - start) / 1000.0);
    p.host.diagnostic(text);
}

}  // namespace kvr
