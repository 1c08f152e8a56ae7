#include "display/display_commands.h"

#include "core/program.h"
#include "display/blink.h"
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

void fit_to_window(Program& p) {
    if (p.display.photometry) return;
    p.shell.Fit = !p.shell.Fit;
    if (p.shell.Fit) {
        // The camera geometry goes without a rebuild: the next refresh shows the standard one.
        p.display.Geo = 0;
        leave_enlargement(p);
    }
    adjust_scroller(p);
}

void toggle_camera_geometry(Program& p) {
    if (p.display.photometry) return;
    p.display.Geo = !p.display.Geo;
    if (p.display.Geo) {
        p.shell.Fit = 0;
        leave_enlargement(p);
    }
    image_prepare(p);
    adjust_scroller(p);
}

void enlarge(Program& p) {
    if (p.display.photometry) return;
    p.display.Big = !p.display.Big;
    if (p.display.Big) {
        p.shell.Fit = 0;
        p.display.Geo = 0;
    }
    image_prepare(p);
    adjust_scroller(p);
}

void toggle_false_colour(Program& p) {
    p.display.colour_palette = !p.display.colour_palette;
    image_prepare(p);
    adjust_scroller(p);
}

void auto_palette_stretch(Program& p) {
    p.display.stretch_palette = !p.display.stretch_palette;
    image_prepare(p);
    adjust_scroller(p);
}

void toggle_max_stretch(Program& p) {
    DisplayState& d = p.display;
    d.max_stretch = !d.max_stretch;
    // The bar shows the button that undoes the current state.
    d.max_stretch_button = d.max_stretch ? kMaxStretchOffButton : kMaxStretchOnButton;
    p.host.repaint();
    image_prepare(p);
    p.host.repaint();
    adjust_scroller(p);
}

void stretch_repaint(Program& p) {
    p.host.repaint();
    image_prepare(p);
    p.host.repaint();
    repaint_picture(p);
    adjust_scroller(p);
}

namespace {

bool binned_only(const Program& p) {
    // The geometry choices apply to binned frames only.
    return p.readout.binned != 0;
}

constexpr CommandRow kRows[] = {
    {Cmd::FitToWindow, "fit_to_window", fit_to_window, "&Fit to window", "", 0, "", nullptr,
     [](const Program& p) { return p.shell.Fit != 0; }},
    {Cmd::CameraGeometry, "toggle_camera_geometry", toggle_camera_geometry,
     "Resample to qx4 &Geometry", "", 0, "", binned_only,
     [](const Program& p) { return p.display.Geo != 0; }},
    {Cmd::Enlarge, "enlarge", enlarge, "Enlarge by 50%", "", 0, "", binned_only,
     [](const Program& p) { return p.display.Big != 0; }},
    {Cmd::FalseColour, "toggle_false_colour", toggle_false_colour, "False Colour P&alette", "", 0,
     "", nullptr, [](const Program& p) { return p.display.colour_palette != 0; }},
    {Cmd::AutoPaletteStretch, "auto_palette_stretch", auto_palette_stretch,
     "&Auto contrast stretch image", "", 0, "", nullptr,
     [](const Program& p) { return p.display.stretch_palette != 0; }},
    {Cmd::MaxStretchOn, "toggle_max_stretch", toggle_max_stretch, "", "", 1002,
     "Use Display Stretch"},
    {Cmd::MaxStretchOff, "toggle_max_stretch", toggle_max_stretch, "", "", 1003,
     "Dont use Display Stretch"},
    {Cmd::MaxStretchCheck, "toggle_max_stretch", toggle_max_stretch},
    {Cmd::StretchRepaint, "stretch_repaint", stretch_repaint},
    {Cmd::Repaint, "repaint_picture", repaint_picture},
    {Cmd::BlinkComparison, "blink_comparison", blink_comparison, "Blink Comparison"},
    {Cmd::BlinkShowOriginal, "blink_show_original", blink_show_original},
    {Cmd::BlinkShowComparison, "blink_show_comparison", blink_show_comparison},
};

}  // namespace

void register_display_commands(Program& p) {
    init_display(p);
    p.display_refresh = image_prepare;
    p.commands.add(kRows);
}

}  // namespace kvr
