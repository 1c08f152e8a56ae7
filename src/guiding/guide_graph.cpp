#include "guiding/guide_graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/host.h"
#include "core/program.h"
#include "core/version.h"
#include "files/guide_settings_file.h"
#include "guiding/guide_errors.h"
#include "guiding/guide_graph_parts.h"
#include "imaging/measure_windows.h"

namespace kvr {

namespace {

constexpr int kSpanMinutes[kGraphSpans] = {2, 5, 10, 30};
constexpr int kSpanGroup = 1;

constexpr Argb kBackground = argb(255, 255, 255);
constexpr Argb kAxis = argb(128, 128, 128);
constexpr Argb kGrid = argb(220, 220, 220);
constexpr Argb kFace = argb(192, 192, 192);

constexpr int kErrorMid = kGraphErrorHeight / 2;
constexpr int kPulseMid = kGraphPulseTop + kGraphPulseHeight / 2;
// Full scales of the error band, arcseconds: the smallest that holds every error shown.
constexpr double kFullScales[] = {1, 2, 4, 8, 16, 32, 64};

ControlDesc text_at(int id, const char* caption, int row, int col, int col_span = 1) {
    return {.id = id,
            .kind = ControlKind::Static,
            .caption = caption,
            .row = row,
            .col = col,
            .col_span = col_span};
}

ControlDesc button(int id, const char* caption, int row, int col) {
    return {.id = id, .kind = ControlKind::Button, .caption = caption, .row = row, .col = col};
}

// The time the graph ends at: the newest error or correction still shown (0 when none).
uint32_t graph_end_ms(const Program& p) {
    uint32_t end = p.graph.errors.count() > 0 ? p.graph.errors.newest(0).at_ms : 0;
    const GuidePulseLog& pulses = p.guide.pulses;
    if (pulses.total > 0 && pulses.newest(0).at_ms >= p.graph.pulses_from_ms)
        end = std::max(end, pulses.newest(0).at_ms);
    return end;
}

double full_scale(const GuideErrorLog& log, uint32_t end, uint32_t span) {
    double most = 0;
    for (int i = 0; i < log.count() && end - log.newest(i).at_ms <= span; ++i)
        most = std::max({most, std::abs(double(log.newest(i).ra_arcsec)),
                         std::abs(double(log.newest(i).dec_arcsec))});
    for (double s : kFullScales)
        if (most <= s) return s;
    return kFullScales[std::size(kFullScales) - 1];
}

int error_row(double arcsec, double scale) {
    const int y = kErrorMid - static_cast<int>(std::lround(arcsec / scale * (kErrorMid - 2)));
    return std::clamp(y, 0, kGraphErrorHeight - 1);
}

void draw_grid(Canvas& c, const GraphTimeAxis& t) {
    for (uint32_t back = 60000; back < t.span; back += 60000) {
        const int x = t.x(t.end - back);
        c.line(x, 0, x, kGraphErrorHeight, kGrid);
        c.line(x, kGraphPulseTop, x, kGraphHeight, kGrid);
    }
    c.line(0, kErrorMid / 2, kGraphWidth, kErrorMid / 2, kGrid);
    c.line(0, kErrorMid + kErrorMid / 2, kGraphWidth, kErrorMid + kErrorMid / 2, kGrid);
    c.line(0, kErrorMid, kGraphWidth, kErrorMid, kAxis);
    c.line(0, kPulseMid, kGraphWidth, kPulseMid, kAxis);
    c.fill_rect(0, kGraphErrorHeight, kGraphWidth, kGraphPulseTop, kFace);
}

void draw_errors(Canvas& c, const GuideErrorLog& log, const GraphTimeAxis& t, double scale) {
    for (int i = 0; i + 1 < log.count(); ++i) {
        const GuideErrorSample& a = log.newest(i + 1);
        const GuideErrorSample& b = log.newest(i);
        if (!t.shows(a.at_ms)) break;
        const int xa = t.x(a.at_ms), xb = t.x(b.at_ms);
        c.line(xa, error_row(a.ra_arcsec, scale), xb, error_row(b.ra_arcsec, scale),
               kGraphRaColour);
        c.line(xa, error_row(a.dec_arcsec, scale), xb, error_row(b.dec_arcsec, scale),
               kGraphDecColour);
    }
    // The newest point itself (a line leaves out its end point).
    if (log.count() > 0 && t.shows(log.newest(0).at_ms)) {
        const GuideErrorSample& s = log.newest(0);
        c.set(t.x(s.at_ms), error_row(s.ra_arcsec, scale), kGraphRaColour);
        c.set(t.x(s.at_ms), error_row(s.dec_arcsec, scale), kGraphDecColour);
    }
}

// A correction drawn up when it moves the star as an east (RA) or north (Dec) correction does,
// in the letters the settings map them to.
bool drawn_up(const SettingsState& s, const GuidePulse& pulse) {
    if (pulse.ao) return pulse.direction == (pulse.axis == 'x' ? s.AOe : s.AOn);
    return pulse.direction == (pulse.axis == 'x' ? s.e : s.n);
}

// Each correction is a bar from the middle line, as long against the longest shown as its
// length (ms of drive, or AO steps); Dec bars one column right of RA bars. Returns the longest
// and whether any was an AO move.
std::pair<int, bool> draw_pulses(Canvas& c, const Program& p, const GraphTimeAxis& t) {
    const GuidePulseLog& log = p.guide.pulses;
    const int shown = log.count();
    auto in_graph = [&](const GuidePulse& pulse) {
        return pulse.at_ms >= p.graph.pulses_from_ms && t.shows(pulse.at_ms);
    };
    int longest = 1;
    bool ao = false;
    for (int i = 0; i < shown && in_graph(log.newest(i)); ++i) {
        longest = std::max(longest, log.newest(i).length);
        ao = ao || log.newest(i).ao;
    }
    const int reach = kGraphPulseHeight / 2 - 2;
    for (int i = 0; i < shown && in_graph(log.newest(i)); ++i) {
        const GuidePulse& pulse = log.newest(i);
        const int h = std::max(1, pulse.length * reach / longest);
        const int x = t.x(pulse.at_ms) + (pulse.axis == 'y' ? 1 : 0);
        const int end = drawn_up(p.settings, pulse) ? kPulseMid - h : kPulseMid + h;
        c.line(x, kPulseMid, x, end, pulse.axis == 'x' ? kGraphRaColour : kGraphDecColour);
    }
    return {longest, ao};
}

std::string rms_text(const char* axis, double rms, int samples) {
    char text[48];
    if (samples == 0)
        std::snprintf(text, sizeof text, "%s RMS -", axis);
    else
        std::snprintf(text, sizeof text, "%s RMS %.2f\u2033", axis, rms);
    return text;
}

void show_notice(Program& p, const char* text) {
    MessageBox box;
    box.caption = kMessageCaption;
    box.text = text;
    p.host.message_box(box);
}

// Writes the graph's settings file; a failure is shown, as the values then last only until
// the program ends.
void keep_graph_settings(Program& p) {
    if (save_guide_settings(p) != 0)
        show_notice(p, "Unable to save the guiding settings file, please check disk space");
}

// The whole text as a number, else false.
bool parse_number(const std::string& text, double& v) {
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(v);
}

// The dithering settings the window edits, in the order of their edits.
struct DitherField {
    const char* label;
    double lowest, highest;
    bool whole;
};
constexpr DitherField kDitherFields[kGraphDitherFields] = {
    {"Dither every n frames (0 off)", 0, 1000, true},
    {"Dither by pixels", kMinDitherPx, kMaxDitherPx, false},
    {"Settled within pixels", kMinDitherPx, kMaxDitherPx, false},
    {"Settling time limit, s", 1, 3600, true},
};

double dither_value(const Program& p, int i) {
    const DitherSettings& d = p.dither;
    const double values[kGraphDitherFields] = {double(d.dither_every_frames), d.dither_amount_px,
                                               d.dither_settle_px, double(d.dither_settle_limit_s)};
    return values[i];
}

void set_dither_value(Program& p, int i, double v) {
    DitherSettings& d = p.dither;
    if (i == 0) d.dither_every_frames = static_cast<int>(v);
    if (i == 1) d.dither_amount_px = v;
    if (i == 2) d.dither_settle_px = v;
    if (i == 3) d.dither_settle_limit_s = static_cast<int>(v);
}

}  // namespace

const DialogResource& guide_graph_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = kGuideGraphResource;
        r.caption = "Guiding Graph";
        r.modal = false;
        r.controls = {
            {.id = kGraphArea,
             .kind = ControlKind::DrawArea,
             .caption = {},
             .row = 0,
             .col = 0,
             .col_span = 4,
             .width = kGraphRasterWidth,
             .height = kGraphRasterHeight},
            text_at(kGraphRmsRa, "RA RMS -", 1, 0),
            text_at(kGraphRmsDec, "Dec RMS -", 1, 1),
            text_at(kGraphRmsTotal, "Total RMS -", 1, 2),
            text_at(kGraphLegend, "", 2, 0, 4),
            text_at(-1, "Arcseconds per pixel", 3, 0),
            {.id = kGraphScaleEdit, .kind = ControlKind::Edit, .caption = {}, .row = 3, .col = 1},
            text_at(-1, "Guider aggressiveness %", 4, 0),
            {.id = kGraphAggressivenessEdit,
             .kind = ControlKind::Edit,
             .caption = {},
             .row = 4,
             .col = 1},
            {.id = kGraphBumpCompensate,
             .kind = ControlKind::CheckBox,
             .caption = "Compensate AO mount bumps",
             .row = 5,
             .col = 0,
             .col_span = 2},
            button(kGraphSet, "Set", 3, 2),
        };
        for (int i = 0; i < kGraphSpans; ++i) {
            static const char* const kCaptions[kGraphSpans] = {"2 min", "5 min", "10 min",
                                                               "30 min"};
            r.controls.push_back({.id = kGraphSpanFirst + i,
                                  .kind = ControlKind::Radio,
                                  .caption = kCaptions[i],
                                  .group = kSpanGroup,
                                  .row = 6,
                                  .col = i});
        }
        for (int i = 0; i < kGraphDitherFields; ++i) {
            const int row = 7 + i / 2, col = 2 * (i % 2);
            r.controls.push_back(text_at(-1, kDitherFields[i].label, row, col));
            r.controls.push_back({.id = kGraphDitherFirst + i,
                                  .kind = ControlKind::Edit,
                                  .caption = {},
                                  .row = row,
                                  .col = col + 1});
        }
        r.controls.push_back(button(kGraphClear, "Clear", 9, 0));
        r.controls.push_back(button(kIdcCancel, "Close", 9, 1));
        return r;
    }();
    return res;
}

void GuideGraphWindow::init() {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", plate_scale_in_use(p_));
    scale_text_ = text;
    aggressiveness_text_ = std::to_string(p_.guide.guider_aggressiveness);
    for (int i = 0; i < kGraphDitherFields; ++i) {
        std::snprintf(text, sizeof text, "%g", dither_value(p_, i));
        dither_text_[i] = text;
    }
    update_guide_figures(p_);
}

void GuideGraphWindow::take_values() {
    double v = 0;
    if (parse_number(scale_text_, v) && plate_scale_usable(v))
        p_.graph.guide_plate_scale = v;
    else
        show_notice(p_,
                    "The plate scale must be a number of arcseconds per pixel from 0.01 to 100");
    if (parse_number(aggressiveness_text_, v) && v == std::trunc(v) && v >= kMinAggressiveness &&
        v <= 100)
        p_.guide.guider_aggressiveness = static_cast<int>(v);
    else
        show_notice(p_, "The aggressiveness must be a whole percent from 10 to 100");
    bool dither_taken = true;
    for (int i = 0; i < kGraphDitherFields; ++i) {
        const DitherField& f = kDitherFields[i];
        if (parse_number(dither_text_[i], v) && v >= f.lowest && v <= f.highest &&
            (!f.whole || v == std::trunc(v)))
            set_dither_value(p_, i, v);
        else
            dither_taken = false;
    }
    if (!dither_taken)
        show_notice(p_,
                    "Dithering: every 0 (off) to 1000 frames, by and within 0.1 to 20 pixels, "
                    "a settling time limit of 1 to 3600 s");
    keep_graph_settings(p_);
}

void GuideGraphWindow::handle(const ControlEvent& e) {
    if (e.kind == ControlEvent::Kind::TextEdited && e.id == kGraphScaleEdit) {
        scale_text_ = e.text;
    } else if (e.kind == ControlEvent::Kind::TextEdited && e.id == kGraphAggressivenessEdit) {
        aggressiveness_text_ = e.text;
    } else if (e.kind == ControlEvent::Kind::TextEdited && e.id >= kGraphDitherFirst &&
               e.id < kGraphDitherFirst + kGraphDitherFields) {
        dither_text_[e.id - kGraphDitherFirst] = e.text;
    } else if (is_click(e, kGraphSet)) {
        take_values();
    } else if (is_click(e, kGraphBumpCompensate)) {
        p_.scope.AOUnit_bump_compensate = !p_.scope.AOUnit_bump_compensate;
        keep_graph_settings(p_);
    } else if (is_click(e, kGraphClear)) {
        clear_guide_history(p_);
    } else if (e.kind == ControlEvent::Kind::Click && e.id >= kGraphSpanFirst &&
               e.id < kGraphSpanFirst + kGraphSpans) {
        p_.graph.guide_graph_minutes = kSpanMinutes[e.id - kGraphSpanFirst];
        update_guide_figures(p_);
        keep_graph_settings(p_);
    } else if (is_click(e, kIdcCancel)) {
        end(kIdcCancel);
    }
}

void GuideGraphWindow::render(DialogView& view) const {
    const GuideGraphState& gr = p_.graph;
    const int n = gr.guide_graph_samples;
    view[kGraphRmsRa].text = rms_text("RA", gr.guide_rms_ra, n);
    view[kGraphRmsDec].text = rms_text("Dec", gr.guide_rms_dec, n);
    view[kGraphRmsTotal].text = rms_text("Total", gr.guide_rms_total, n);
    const uint32_t span = static_cast<uint32_t>(gr.guide_graph_minutes) * 60000u;
    char legend[160];
    std::snprintf(legend, sizeof legend,
                  "Errors +/-%g\u2033 full scale over %d min at %.2f\u2033 per pixel",
                  full_scale(gr.errors, graph_end_ms(p_), span), gr.guide_graph_minutes,
                  plate_scale_in_use(p_));
    view[kGraphLegend].text = legend;
    if (p_.guide.guide_star_lost) view[kGraphLegend].text += "; STAR LOST: no correction sent";
    view[kGraphScaleEdit].text = scale_text_;
    view[kGraphAggressivenessEdit].text = aggressiveness_text_;
    for (int i = 0; i < kGraphDitherFields; ++i) view[kGraphDitherFirst + i].text = dither_text_[i];
    view[kGraphBumpCompensate].checked = p_.scope.AOUnit_bump_compensate != 0;
    for (int i = 0; i < kGraphSpans; ++i)
        view[kGraphSpanFirst + i].checked = gr.guide_graph_minutes == kSpanMinutes[i];
}

void GuideGraphWindow::paint() const {
    picture_.resize(kGraphRasterWidth, kGraphRasterHeight, kBackground);
    const uint32_t span = static_cast<uint32_t>(p_.graph.guide_graph_minutes) * 60000u;
    const GraphTimeAxis axis{graph_end_ms(p_), span};
    const double scale = full_scale(p_.graph.errors, axis.end, span);
    draw_grid(picture_, axis);
    draw_errors(picture_, p_.graph.errors, axis, scale);
    const auto [longest, ao] = draw_pulses(picture_, p_, axis);
    draw_graph_scales(picture_, scale, longest, ao);
    draw_graph_time_axis(picture_, axis);
    draw_graph_star_band(picture_, p_.graph.errors, axis);
    draw_graph_legend(picture_);
}

const Canvas* GuideGraphWindow::drawing(int control_id) const {
    if (control_id != kGraphArea) return nullptr;
    paint();
    return &picture_;
}

void guide_graph_follow(Program& p) {
    refresh_measure_window(p, p.graph.window);
}

void open_guide_graph(Program& p) {
    if (p.graph.window && !p.graph.window->ended()) return;
    open_measure_window<GuideGraphWindow>(p, p.graph.window);
}

}  // namespace kvr
