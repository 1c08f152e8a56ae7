#include "display/display_commands.h"

#include "core/program.h"
#include "display/display.h"

namespace kvr {

namespace {

// Leaving the enlargement for another display choice rebuilds the picture at once.
void leave_enlargement(Program& p) {
    if (!p.display.Big) return;
    p.display.Big = 0;
    image_prepare(p);
}

}  // namespace

void CmFit(Program& p) {
    if (p.display.photometry) return;
    p.shell.Fit = !p.shell.Fit;
    if (p.shell.Fit) {
        // The camera geometry goes without a rebuild: the next refresh shows the standard one.
        p.display.Geo = 0;
        leave_enlargement(p);
    }
    AdjustScroller(p);
}

void CmGeo(Program& p) {
    if (p.display.photometry) return;
    p.display.Geo = !p.display.Geo;
    if (p.display.Geo) {
        p.shell.Fit = 0;
        leave_enlargement(p);
    }
    image_prepare(p);
    AdjustScroller(p);
}

void CmBig(Program& p) {
    if (p.display.photometry) return;
    p.display.Big = !p.display.Big;
    if (p.display.Big) {
        p.shell.Fit = 0;
        p.display.Geo = 0;
    }
    image_prepare(p);
    AdjustScroller(p);
}

void CmColPal(Program& p) {
    p.display.colour_palette = !p.display.colour_palette;
    image_prepare(p);
    AdjustScroller(p);
}

void CmStretchPal(Program& p) {
    p.display.stretch_palette = !p.display.stretch_palette;
    image_prepare(p);
    AdjustScroller(p);
}

void CmMaxStretchToggle(Program& p) {
    DisplayState& d = p.display;
    d.max_stretch = !d.max_stretch;
    // The bar shows the button that undoes the current state.
    d.max_stretch_button = d.max_stretch ? kMaxStretchOffButton : kMaxStretchOnButton;
    p.host.repaint();
    image_prepare(p);
    p.host.repaint();
    AdjustScroller(p);
}

void CmStretchPaint(Program& p) {
    p.host.repaint();
    image_prepare(p);
    p.host.repaint();
    PaintIt(p);
    AdjustScroller(p);
}

namespace {

bool binned_only(const Program& p) {
    // The geometry choices apply to binned frames only.
    return p.readout.binned != 0;
}

constexpr CommandRow kRows[] = {
    {Cmd::FitToWindow, "CmFit", CmFit, "&Fit to window", "", 0, "", nullptr,
     [](const Program& p) { return p.shell.Fit != 0; }},
    {Cmd::CameraGeometry, "CmGeo", CmGeo, "Resample to qx4 &Geometry", "", 0, "", binned_only,
     [](const Program& p) { return p.display.Geo != 0; }},
    {Cmd::Enlarge, "CmBig", CmBig, "Enlarge by 50%", "", 0, "", binned_only,
     [](const Program& p) { return p.display.Big != 0; }},
    {Cmd::FalseColour, "CmColPal", CmColPal, "False Colour P&alette", "", 0, "", nullptr,
     [](const Program& p) { return p.display.colour_palette != 0; }},
    {Cmd::AutoPaletteStretch, "CmStretchPal", CmStretchPal, "&Auto contrast stretch image", "", 0,
     "", nullptr, [](const Program& p) { return p.display.stretch_palette != 0; }},
    {Cmd::MaxStretchOn, "CmMaxStretchToggle", CmMaxStretchToggle, "", "", 1002,
     "Use Display Stretch"},
    {Cmd::MaxStretchOff, "CmMaxStretchToggle", CmMaxStretchToggle, "", "", 1003,
     "Dont use Display Stretch"},
    {Cmd::MaxStretchCheck, "CmMaxStretchToggle", CmMaxStretchToggle},
    {Cmd::StretchRepaint, "CmStretchPaint", CmStretchPaint},
    {Cmd::Repaint, "PaintIt", PaintIt},
};

}  // namespace

void register_display_commands(Program& p) {
    init_display(p);
    p.display_refresh = image_prepare;
    p.commands.add(kRows);
}

}  // namespace kvr
