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

void register_display_commands(Program& p) {
    init_display(p);
    p.display_refresh = image_prepare;
    CommandTable& t = p.commands;
    struct Entry {
        int id;
        CommandHandler handler;
        const char* menu_text;
    };
    const Entry entries[] = {
        {301, CmFit, "&Fit to window"},
        {303, CmGeo, "Resample to qx4 &Geometry"},
        {123, CmBig, "Enlarge by 50%"},
        {118, CmColPal, "False Colour P&alette"},
        {119, CmStretchPal, "&Auto contrast stretch image"},
        {1901, CmMaxStretchToggle, ""},
        {1902, CmMaxStretchToggle, ""},
        {1906, CmMaxStretchToggle, ""},
        {1907, CmStretchPaint, ""},
        {891, PaintIt, ""},
    };
    for (const Entry& e : entries) {
        t.attach(e.id, e.handler);
        if (*e.menu_text) t.find(e.id)->menu_text = e.menu_text;
    }
    // The geometry choices apply to binned frames only.
    auto binned = [](const Program& q) { return q.readout.binned != 0; };
    t.find(303)->enabler = binned;
    t.find(123)->enabler = binned;
    t.set_checker(301, [](const Program& q) { return q.shell.Fit != 0; });
    t.set_checker(303, [](const Program& q) { return q.display.Geo != 0; });
    t.set_checker(123, [](const Program& q) { return q.display.Big != 0; });
    t.set_checker(118, [](const Program& q) { return q.display.colour_palette != 0; });
    t.set_checker(119, [](const Program& q) { return q.display.stretch_palette != 0; });
}

}  // namespace kvr
