#include "guiding/guide_errors.h"

#include <algorithm>
#include <cmath>

#include "camera/camera_protocol.h"
#include "core/program.h"
#include "guiding/guide_graph.h"
#include "guiding/guide_log.h"
#include "guiding/star_signal.h"

namespace kvr {

namespace {

struct SkyError {
    double ra = 0, dec = 0;  // arcseconds, positive where the correction is east / north
};

bool trained_guider_path(const Program& p, bool guider) {
    const GuideState& g = p.guide;
    return guider && p.settings.GuiderMode == 'T' && g.guider_use_trained &&
           !p.settings.ignore_RA_angle;
}

// The error (ex, ey arcseconds along the frame's x and y) resolved along the trained motions of a
// second of west drive and of north drive; false when they are parallel.
bool resolve_on_training(const GuideState& g, double scale, double ex, double ey, SkyError& out) {
    const double wx = g.RA_x * scale, wy = g.RA_y * scale * kFieldRowInColumns;
    const double nx = g.Dec_x * scale, ny = g.Dec_y * scale * kFieldRowInColumns;
    const double west_len = std::hypot(wx, wy), north_len = std::hypot(nx, ny);
    if (west_len <= 0 || north_len <= 0) return false;
    const double ux = wx / west_len, uy = wy / west_len, vx = nx / north_len, vy = ny / north_len;
    const double det = ux * vy - vx * uy;
    if (std::abs(det) < 1e-3) return false;
    // The error is reference minus measured, so a positive share along the west motion is
    // corrected by a west pulse: on the graph's sign that is a negative RA error.
    out.ra = -(vy * ex - vx * ey) / det;
    out.dec = (ux * ey - uy * ex) / det;
    return true;
}

}  // namespace

double plate_scale_in_use(const Program& p) {
    const double s = p.graph.guide_plate_scale;
    return plate_scale_usable(s) ? s : kDefaultPlateScale;
}

void record_guide_error(Program& p, bool guider) {
    const GuideState& g = p.guide;
    const double scale = plate_scale_in_use(p);
    const double ex = 0.001 * g.dx * scale;
    const double ey = 0.001 * g.dy * scale * kFieldRowInColumns;
    SkyError e{ex, ey};
    if (trained_guider_path(p, guider) && !resolve_on_training(g, scale, ex, ey, e)) e = {ex, ey};
    p.graph.errors.record({p.clock.ms(), static_cast<float>(e.ra), static_cast<float>(e.dec),
                           p.graph.star_snr, p.graph.star_mass});
    guide_log_measured(p, e.ra, e.dec, scale);
    update_guide_figures(p);
    guide_graph_follow(p);
}

void note_guide_star(Program& p, const StarSignal& star) {
    p.graph.star_snr = static_cast<float>(star.snr);
    p.graph.star_mass = static_cast<float>(star.flux);
}

void update_guide_figures(Program& p) {
    GuideGraphState& gr = p.graph;
    const GuideErrorLog& log = gr.errors;
    double sum_ra = 0, sum_dec = 0, sq_ra = 0, sq_dec = 0;
    int n = 0;
    if (log.count() > 0) {
        const uint32_t newest = log.newest(0).at_ms;
        const uint32_t span_ms = static_cast<uint32_t>(gr.guide_graph_minutes) * 60000u;
        for (; n < log.count(); ++n) {
            const GuideErrorSample& s = log.newest(n);
            if (newest - s.at_ms > span_ms) break;
            sum_ra += s.ra_arcsec;
            sum_dec += s.dec_arcsec;
            sq_ra += double(s.ra_arcsec) * s.ra_arcsec;
            sq_dec += double(s.dec_arcsec) * s.dec_arcsec;
        }
    }
    gr.guide_graph_samples = n;
    if (n == 0) {
        gr.guide_rms_ra = gr.guide_rms_dec = gr.guide_rms_total = 0;
        return;
    }
    const auto rms = [n](double sum, double sq) {
        const double mean = sum / n;
        return std::sqrt(std::max(0.0, sq / n - mean * mean));
    };
    gr.guide_rms_ra = rms(sum_ra, sq_ra);
    gr.guide_rms_dec = rms(sum_dec, sq_dec);
    gr.guide_rms_total = std::hypot(gr.guide_rms_ra, gr.guide_rms_dec);
}

void clear_guide_history(Program& p) {
    p.graph.errors.clear();
    p.graph.pulses_from_ms = p.clock.ms();
    update_guide_figures(p);
}

}  // namespace kvr
