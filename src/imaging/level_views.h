#pragma once
// The three views of the current image's levels, each a modeless window beside the main one:
// the histogram of the display levels (resource 5), the intensity profile of one image row
// chosen with the mouse (resource 12) and a pseudo-3-D plot of the top-left corner (resource
// 11). None changes the image.
#include <string>

#include "core/canvas.h"
#include "core/dialog.h"

namespace kvr {

inline constexpr int kLevelViewArea = 100;  // the drawing area of each window
inline constexpr int kHistogramListing = 102;
inline constexpr int kRowEdit = 101;
inline constexpr int kPlot3dWidth = 644;
inline constexpr int kPlot3dHeight = 384;
// The profile's raster holds the widest row (752) plus the frame's margin.
inline constexpr int kRowPlotWidth = 904;
inline constexpr int kRowPlotHeight = 202;
inline constexpr int kMaxListedLevels = 15;

const DialogResource& histogram_resource();
const DialogResource& plot3d_resource();
const DialogResource& row_plot_resource();

// "Histogram of Current Image": the bars of `table` as they are whenever the window paints, and
// the listing of the first 15 levels whose bar was cut.
class HistogramDialog : public DialogModel {
  public:
    explicit HistogramDialog(Program& p) : DialogModel(p, histogram_resource()) {}
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
    const Canvas* drawing(int control_id) const override;

  private:
    // Draws the bars and writes the listing into `workfld2`.
    void paint() const;
    mutable Canvas picture_;
};

// "3-D Intensity Plot": drawn once, on the first paint after opening, into its own raster
// (`fst` set until then); later paints show that raster as it is.
class Plot3dDialog : public DialogModel {
  public:
    explicit Plot3dDialog(Program& p) : DialogModel(p, plot3d_resource()) {}
    void init() override { fst = 1; }
    void handle(const ControlEvent& event) override;
    const Canvas* drawing(int control_id) const override;
    // The plot's lines, front row last, from `externptr`.
    void draw_plot() const;

    mutable int fst = 1;
    const int T3Dwidth = kPlot3dWidth;
    const int T3Dheight = kPlot3dHeight;

  private:
    mutable Canvas T3Dbitmap;
};

// "INTENSITY PROFILE OF ONE ROW": the row `obj_y` of `externptr`.
class RowPlotDialog : public DialogModel {
  public:
    explicit RowPlotDialog(Program& p) : DialogModel(p, row_plot_resource()) {}
    void init() override { draw_profile(); }
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
    const Canvas* drawing(int control_id) const override;
    // Redraws the profile of row `obj_y` (a left click on the image chose it).
    void draw_profile();

  private:
    Canvas picture_;
};

// Window commands 6, 15 and 16.
void open_histogram(Program& p);
void open_plot_3d(Program& p);
void open_row_profile(Program& p);
// The row profile after a click chose `obj_y`.
void row_plot_redraw(Program& p);
// Keeps an open histogram window on the histogram just rebuilt.
void histogram_window_follow(Program& p);

}  // namespace kvr
