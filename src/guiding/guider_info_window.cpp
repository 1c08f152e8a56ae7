#include "guiding/guider_info_window.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "camera/camera_protocol.h"
#include "camera/readout.h"
#include "core//host.h"
#include "core/program.h"
#include "display/guider_picture.h"
#include "display/pointer_readout.h"

namespace kvr {

namespace {

using K = ControlKind;
using namespace gi;
using namespace resource_builders;

constexpr Argb kFace = argb(212, 208, 200);
constexpr Argb kCrossColour = argb(0, 255, 0);
constexpr Argb kCentroidColour = argb(255, 0, 0);
constexpr Argb kBoxBackground = argb(0, 0, 0);
constexpr Argb kBoxAxes = argb(80, 80, 80);
constexpr Argb kTrailColour = argb(255, 255, 0);
constexpr Argb kBoxFrame = argb(128, 128, 128);
constexpr int kCrossArm = 10;
constexpr int kMarkArm = 3;

ControlDesc field(int id, int row, int col) {
    ControlDesc c = ctl(id, K::Edit, "", row, col);
    c.read_only = true;
    return c;
}

ControlDesc picture() {
    ControlDesc c = ctl(kPicture, K::DrawArea, "", 0, 0, 4);
    c.width = kDrawWidth;
    c.height = kDrawHeight;
    return c;
}

// An error in thousandths of a pixel as a box position: the star's offset from the reference
// (the negated error), 10 box pixels a pixel, kept inside the box.
int box_offset(int error) {
    const int half = kBoxSize / 2;
    return std::clamp(-error * kBoxPixelsPerPixel / 1000, -half, half - 1);
}

void draw_movement_box(const GuideErrorTrail& trail, Canvas& c) {
    const int cx = kBoxX + kBoxSize / 2, cy = kBoxY + kBoxSize / 2;
    c.fill_rect(kBoxX, kBoxY, kBoxX + kBoxSize, kBoxY + kBoxSize, kBoxBackground);
    c.line(kBoxX, cy, kBoxX + kBoxSize, cy, kBoxAxes);
    c.line(cx, kBoxY, cx, kBoxY + kBoxSize, kBoxAxes);
    for (int i = trail.count - 1; i > 0; --i) {
        const int a = trail.slot(i), b = trail.slot(i - 1);
        c.line(cx + box_offset(trail.x[a]), cy + box_offset(trail.y[a]),
               cx + box_offset(trail.x[b]), cy + box_offset(trail.y[b]), kTrailColour);
    }
    if (trail.count > 0) {
        const int n = trail.slot(0);
        const int x = cx + box_offset(trail.x[n]), y = cy + box_offset(trail.y[n]);
        c.line(x - kMarkArm, y, x + kMarkArm + 1, y, kCentroidColour);
        c.line(x, y - kMarkArm, x, y + kMarkArm + 1, kCentroidColour);
    }
    c.frame_rect(kBoxX - 1, kBoxY - 1, kBoxX + kBoxSize + 1, kBoxY + kBoxSize + 1, kBoxFrame);
}

}  // namespace

const DialogResource& guider_info_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = kGuiderInfoResource;
        r.caption = "AutoGuider Camera Guiding";
        r.modal = false;
        r.controls = {
            picture(),
            label("Star x (px)", 1, 0),
            field(kCentreX, 1, 1),
            label("Star y (px)", 1, 2),
            field(kCentreY, 1, 3),
            label("Error x (px)", 2, 0),
            field(kErrorX, 2, 1),
            label("Error y (px)", 2, 2),
            field(kErrorY, 2, 3),
            ctl(kPulseXLabel, K::Static, "Pulse x (ms)", 3, 0),
            field(kPulseX, 3, 1),
            ctl(kPulseYLabel, K::Static, "Pulse y (ms)", 3, 2),
            field(kPulseY, 3, 3),
            label("AO e/w (steps)", 4, 0),
            field(kAoEastWest, 4, 1),
            label("AO n/s (steps)", 4, 2),
            field(kAoNorthSouth, 4, 3),
            label("Peak (ADU)", 5, 0),
            field(kPeak, 5, 1),
            label("SNR", 5, 2),
            field(kSnr, 5, 3),
            label("HFD", 6, 0),
            field(kHfd, 6, 1),
            label("FWHM", 6, 2),
            field(kFwhm, 6, 3),
            label("Mount bump", 7, 0),
            field(kMountBump, 7, 1),
            {.id = kStopGuiding, .kind = K::Button, .caption = "Stop Guiding", .row = 7, .col = 3},
        };
        return r;
    }();
    return res;
}

void GuiderInfoWindow::handle(const ControlEvent& e) {
    if (e.kind == ControlEvent::Kind::Mouse && e.id == kPicture && e.button == 0) {
        const auto under = guider_picture_pixel(p_, e.x - kPictureX, e.y - kPictureY);
        p_.host.show_pointer(under ? pixel_readout_text(*under) : std::string());
        return;
    }
    if (e.kind != ControlEvent::Kind::Click) return;
    if (e.id == kStopGuiding) {
        p_.guide.guider_guiding_standalone = 0;
    } else if (e.id == kIdcCancel) {
        // Closing the window stops stand-alone guiding as its button does.
        p_.guide.guider_guiding_standalone = 0;
        end(kIdCancel);
    }
}

std::string GuiderInfoWindow::caption() const {
    const char* c = p_.guide.guider_info_caption;
    return c[0] ? std::string(c) : res_.caption;
}

void GuiderInfoWindow::render(DialogView& view) const {
    const GuideState& g = p_.guide;
    const ScopeState& s = p_.scope;
    view[kCentreX].text = one_decimal(g.guider_xcent + 0.1 * g.guider_xcentdec);
    view[kCentreY].text = one_decimal(g.guider_ycent + 0.1 * g.guider_ycentdec);
    view[kErrorX].text = one_decimal(g.x3 / 1000.0);
    view[kErrorY].text = one_decimal(g.y3 / 1000.0);
    const bool ao = p_.settings.GuiderMode == 'A';
    view[kPulseXLabel].text = ao ? "AO move x (steps)" : "Pulse x (ms)";
    view[kPulseYLabel].text = ao ? "AO move y (steps)" : "Pulse y (ms)";
    view[kPulseX].text = five_wide(g.slew_time_x);
    view[kPulseY].text = five_wide(g.slew_time_y);
    view[kAoEastWest].text = five_wide(s.AO_ew);
    view[kAoNorthSouth].text = five_wide(s.AO_ns);
    const bool bumped =
        s.AOUnit_sendtomount[0] != '\0' && p_.clock.ms() - s.AOUnit_lastsent < kBumpShownMs;
    view[kMountBump].text = bumped ? s.AOUnit_sendtomount : "";
    view[kStopGuiding].enabled = g.guider_guiding_standalone != 0;
    const StarFigures f = star();
    for (int id : {kPeak, kSnr, kHfd, kFwhm}) view[id].text.clear();
    if (!f.star) return;
    const double scale = arcsec_per_column(p_);
    char text[32];
    // The head's 8-bit samples sit in the high bytes of the frame.
    std::snprintf(text, sizeof text, "%.0f", f.signal.peak / 256);
    view[kPeak].text = text;
    std::snprintf(text, sizeof text, "%.0f", f.signal.snr);
    view[kSnr].text = text;
    view[kHfd].text = width_text(f.hfd_px, scale);
    view[kFwhm].text = width_text(f.fwhm_px, scale);
}

StarFigures GuiderInfoWindow::star() const {
    const GuideState& g = p_.guide;
    if (!p_.ptr.guider_image || !g.guided_image) return {};
    return measure_star_figures(guider_measure_frame(p_), kGuiderWidth, kGuiderHeight,
                                g.guider_xcent, g.guider_ycent, p_.settings.star_mask,
                                kFieldRowInColumns);
}

const Canvas* GuiderInfoWindow::drawing(int control_id) const {
    if (control_id != kPicture) return nullptr;
    const GuideState& g = p_.guide;
    canvas_.resize(kDrawWidth, kDrawHeight, kFace);
    draw_guider_picture(p_, canvas_, kPictureX, kPictureY);
    // The cross stands where guiding holds the picked star (its reference position).
    const int px = kPictureX + g.x1, py = kPictureY + g.y1;
    canvas_.line(px - kCrossArm, py, px + kCrossArm + 1, py, kCrossColour);
    canvas_.line(px, py - kCrossArm, px, py + kCrossArm + 1, kCrossColour);
    const int cx = kPictureX + g.guider_xcent, cy = kPictureY + g.guider_ycent;
    canvas_.frame_rect(cx - kMarkArm, cy - kMarkArm, cx + kMarkArm + 1, cy + kMarkArm + 1,
                       kCentroidColour);
    draw_movement_box(g.guider_trail, canvas_);
    draw_star_profile(star(), canvas_, kProfileX, kProfileY, kProfileWidth, kProfileHeight);
    return &canvas_;
}

void open_guider_info(Program& p) {
    GuideState& g = p.guide;
    if (!g.guider_info_window) g.guider_info_window = std::make_shared<GuiderInfoWindow>(p);
    g.guider_trail.clear();
    g.guider_info_caption[0] = '\0';
    p.host.open_modeless(*g.guider_info_window);
}

void refresh_guider_info(Program& p) {
    const auto& w = p.guide.guider_info_window;
    if (w && !w->ended()) p.host.refresh_dialog(*w);
}

void guider_info_stopped(Program& p) {
    refresh_guider_info(p);
}

void close_guider_info(Program& p) {
    if (const auto& w = p.guide.guider_info_window) p.host.close_modeless(*w);
}

}  // namespace kvr
