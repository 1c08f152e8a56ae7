#include "imaging/level_views.h"

#include <cstdio>
#include <cstring>

#include "core/messages.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/histogram_plot.h"
#include "imaging/measure_windows.h"

namespace kvr {

namespace {

constexpr int kHelpButton = 9;
constexpr int kHistClose = 101;
constexpr Msg kMsgMeasureExclusive = Msg::AnalysisBusy;
constexpr Msg kMsgRowPlotGeometry = Msg::RowPlotGeometry;

constexpr Argb kFace = argb(192, 192, 192);
constexpr Argb kWhite = argb(255, 255, 255);
constexpr Argb kBlack = argb(0, 0, 0);
constexpr Argb kGrey = argb(128, 128, 128);
constexpr Argb kLightGrey = argb(192, 192, 192);

constexpr int kHistogramWidth = 268;
constexpr int kHistogramHeight = 228;
constexpr HistogramTicks kTicks{217, 220, 224};

// A level's pixels rise one raster pixel per 384 of value: 65535 is 170 pixels high.
constexpr int kLevelsPerPixel = 384;
constexpr int kFirstRowOnPlot = 127;  // the profile's row when the window opens
// The 3-D plot: rows 6 … 127, columns 0 … 375, of 752-pixel rows; each row's base line is
// 186 pixels below its row number and one pixel further left per row.
constexpr int kPlotRowFirst = 6;
constexpr int kPlotRowLast = 127;
constexpr int kPlotColumns = 376;
constexpr int kPlotStride = 752;
constexpr int kPlotBase = 186;
constexpr int kPlotLeft = 130;
// The profile's frame and base line.
constexpr int kRowFrame = 2;
constexpr int kRowFrameBottom = 200;
constexpr int kRowFrameExtra = 150;
constexpr int kRowBase = 198;

ControlDesc draw_area(int width, int height, int col_span) {
    return {.id = kLevelViewArea,
            .kind = ControlKind::DrawArea,
            .caption = {},
            .row = 0,
            .col = 0,
            .col_span = col_span,
            .width = width,
            .height = height};
}

ControlDesc button(int id, const char* caption, int row, int col) {
    return {.id = id, .kind = ControlKind::Button, .caption = caption, .row = row, .col = col};
}

bool in_standard_geometry(const Program& p) {
    return !p.display.Geo && !p.shell.Fit && !p.display.Big;
}

}  // namespace

const DialogResource& histogram_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 5;
        r.caption = "Histogram of Current Image";
        r.modal = false;
        r.controls = {
            draw_area(kHistogramWidth, kHistogramHeight, 2),
            {.id = kHistogramListing,
             .kind = ControlKind::Static,
             .caption = "val   count\n",
             .row = 0,
             .col = 2},
            button(kHistClose, "Close", 1, 0),
            button(kHelpButton, "Help", 1, 1),
        };
        return r;
    }();
    return res;
}

const DialogResource& plot3d_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 11;
        r.caption = "3-D Intensity Plot";
        r.modal = false;
        r.controls = {
            draw_area(kPlot3dWidth, kPlot3dHeight, 2),
            button(kIdcCancel, "Finished", 1, 0),
            button(kHelpButton, "Help", 1, 1),
        };
        return r;
    }();
    return res;
}

const DialogResource& row_plot_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 12;
        r.caption = "INTENSITY PROFILE OF ONE ROW";
        r.modal = false;
        r.controls = {
            draw_area(kRowPlotWidth, kRowPlotHeight, 4),
            {.kind = ControlKind::Static, .caption = "Row", .row = 1, .col = 0},
            {.id = kRowEdit,
             .kind = ControlKind::Edit,
             .caption = {},
             .row = 1,
             .col = 1,
             .read_only = true},
            button(kIdcCancel, "Finished", 1, 2),
            button(kHelpButton, "Help", 1, 3),
        };
        return r;
    }();
    return res;
}

// --- Histogram --------------------------------------------------------------------------------

void HistogramDialog::paint() const {
    picture_.resize(kHistogramWidth, kHistogramHeight, kFace);
    draw_level_histogram(picture_, p_.display.table, kTicks);
    char* listing = p_.measure.workfld2;
    size_t used =
        static_cast<size_t>(std::snprintf(listing, kHistogramListingBytes, "%s", "val   count\n"));
    int listed = 0;
    for (int level = 0; level < kHistogramLevels && listed < kMaxListedLevels; ++level) {
        const unsigned h = p_.display.table[level] / kHistogramCountScale;
        if (h <= static_cast<unsigned>(kHistogramBase)) continue;
        used += static_cast<size_t>(std::snprintf(listing + used, kHistogramListingBytes - used,
                                                  "%03d  %6ld\n", level,
                                                  static_cast<long>(h) * kHistogramCountScale));
        ++listed;
    }
}

void HistogramDialog::handle(const ControlEvent& e) {
    if (is_click(e, kHistClose) || is_click(e, kIdcCancel)) {
        p_.measure.hist_already = 0;
        end(kIdcCancel);
    } else if (is_click(e, kHelpButton)) {
        show_dialog_help(
            p_, "Vexa_2 - Display Histogram",
            "This shows a histogram of the values in the current main window. The horizontal "
            "scale represents values from black (0) to white (256), whilst the vertical scale "
            "shows the number of pixels with a particular value. The vertical scale goes from 0 "
            "to 1000, where there are more than 1000 pixels with the same value the line is "
            "truncated and shown in red.\n\nThe first 15 values where the pixel count exceeds "
            "1000 are also listed next to the Histogram\n\nShort key - CTL+H");
    }
}

void HistogramDialog::render(DialogView& view) const {
    paint();
    view[kHistogramListing].text = p_.measure.workfld2;
}

const Canvas* HistogramDialog::drawing(int control_id) const {
    if (control_id != kLevelViewArea) return nullptr;
    paint();
    return &picture_;
}

void open_histogram(Program& p) {
    if (p.measure.hist_already) return;
    p.measure.hist_already = 1;
    open_measure_window<HistogramDialog>(p, p.measure.windows.histogram);
}

void histogram_window_follow(Program& p) {
    if (p.measure.hist_already) refresh_measure_window(p, p.measure.windows.histogram);
}

// --- 3-D plot ---------------------------------------------------------------------------------

void Plot3dDialog::draw_plot() const {
    T3Dbitmap.resize(T3Dwidth, T3Dheight, kWhite);
    const uint16_t* image = p_.ptr.externptr;
    for (int k = kPlotRowFirst; k <= kPlotRowLast; ++k) {
        const int x0 = kPlotLeft - (k - kPlotRowFirst);
        int x = x0, y = k + kPlotBase, previous = 0;
        for (int i = 0; i < kPlotColumns; ++i) {
            const int v = image[kPlotStride * k + i] / kLevelsPerPixel;
            const int to_y = k + kPlotBase - v;
            T3Dbitmap.line(x, y, x0 + i, to_y, v > previous ? kLightGrey : kGrey);
            x = x0 + i;
            y = to_y;
            previous = v;
        }
    }
}

void Plot3dDialog::handle(const ControlEvent& e) {
    if (is_click(e, kIdcCancel)) {
        // Closing: the off-screen raster goes with the window.
        p_.measure.intensity_plot = 0;
        T3Dbitmap.resize(0, 0);
        end(kIdcCancel);
    } else if (is_click(e, kHelpButton)) {
        show_dialog_help(p_, "KVR_Q4 - 3-D Plot",
                         "This shows a 3-D Intensity Plot of the values in the current main "
                         "window.");
    }
}

const Canvas* Plot3dDialog::drawing(int control_id) const {
    if (control_id != kLevelViewArea) return nullptr;
    if (fst) {
        draw_plot();
        fst = 0;
    }
    return &T3Dbitmap;
}

void open_plot_3d(Program& p) {
    MeasureState& m = p.measure;
    if (m.intensity_plot || m.row_plot) return;
    p.ptr.externptr = p.ptr.image;
    m.intensity_plot = 1;
    open_measure_window<Plot3dDialog>(p, m.windows.plot3d);
}

// --- Row profile ------------------------------------------------------------------------------

void RowPlotDialog::draw_profile() {
    const int width = p_.geo.width1;
    picture_.resize(kRowPlotWidth, kRowPlotHeight, kFace);
    picture_.fill_rect(kRowFrame, kRowFrame, width + kRowFrameExtra, kRowFrameBottom, kWhite);
    picture_.frame_rect(kRowFrame, kRowFrame, width + kRowFrameExtra, kRowFrameBottom, kBlack);
    const uint16_t* row = p_.ptr.externptr + p_.measure.obj_y * width;
    int x = 4, y = kRowBase;
    for (int c = 0; c < width; ++c) {
        const int to_y = kRowBase - row[c] / kLevelsPerPixel;
        picture_.line(x, y, c + 5, to_y, kGrey);
        x = c + 5;
        y = to_y;
    }
    p_.host.refresh_dialog(*this);
}

void RowPlotDialog::handle(const ControlEvent& e) {
    if (is_click(e, kIdcCancel)) {
        p_.measure.row_plot = 0;
        end(kIdcCancel);
    } else if (is_click(e, kHelpButton)) {
        show_dialog_help(p_, "KVR_Q4 - Intensity Profile",
                         "Select the row you wish to see an intensity plot of by pressing the "
                         "left mouse button");
    }
}

void RowPlotDialog::render(DialogView& view) const {
    view[kRowEdit].text = std::to_string(p_.measure.obj_y);
}

const Canvas* RowPlotDialog::drawing(int control_id) const {
    return control_id == kLevelViewArea ? &picture_ : nullptr;
}

void open_row_profile(Program& p) {
    MeasureState& m = p.measure;
    if (p.settings.merging || p.display.photometry) {
        messages(p, kMsgMeasureExclusive);
        return;
    }
    if (m.intensity_plot || m.row_plot) return;
    if (!in_standard_geometry(p)) {
        messages(p, kMsgRowPlotGeometry);
        return;
    }
    m.obj_y = kFirstRowOnPlot;
    m.row_plot = 1;
    p.ptr.externptr = p.ptr.image;
    open_measure_window<RowPlotDialog>(p, m.windows.row);
}

void row_plot_redraw(Program& p) {
    if (p.measure.row_plot && p.measure.windows.row)
        static_cast<RowPlotDialog&>(*p.measure.windows.row).draw_profile();
}

}  // namespace kvr
