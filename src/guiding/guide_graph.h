#pragma once
// The guiding graph (resource 32, "Guiding Graph"): a modeless window beside the main one that
// plots the measured RA and Dec errors in arcseconds, the corrections sent and the guide star's
// SNR and mass over the last `guide_graph_minutes`, with the RMS of each axis and the total over
// that span. Every guide path
// feeds it: each error measured by the main-camera loop, self-guiding and the guider paths
// through the mount or the AO unit is recorded, open window or not.
#include <string>

#include "core/canvas.h"
#include "core/dialog.h"

namespace kvr {

inline constexpr int kGuideGraphResource = 32;
inline constexpr int kGraphArea = 100;
inline constexpr int kGraphRmsRa = 101;
inline constexpr int kGraphRmsDec = 102;
inline constexpr int kGraphRmsTotal = 103;
inline constexpr int kGraphLegend = 104;
inline constexpr int kGraphScaleEdit = 105;
inline constexpr int kGraphSet = 106;
inline constexpr int kGraphClear = 107;
inline constexpr int kGraphAggressivenessEdit = 108;
inline constexpr int kGraphBumpCompensate = 109;
// Radios of the span: 2, 5, 10 and 30 minutes.
inline constexpr int kGraphSpanFirst = 110;
inline constexpr int kGraphSpans = 4;
// Edits of the dithering settings (core/dither_state.h): every n frames, by, settled within, limit.
inline constexpr int kGraphDitherFirst = 120;
inline constexpr int kGraphDitherFields = 4;
// The raster: the error band on top, the correction band below it, both kGraphWidth wide with
// their scales in a margin on the right; under them the time axis, the band of the star's SNR and
// mass, and the legend.
inline constexpr int kGraphWidth = 512;
inline constexpr int kGraphErrorHeight = 200;
inline constexpr int kGraphPulseTop = 208;
inline constexpr int kGraphPulseHeight = 80;
inline constexpr int kGraphHeight = kGraphPulseTop + kGraphPulseHeight;
inline constexpr int kGraphMargin = 64;
inline constexpr int kGraphTimeTop = kGraphHeight + 2;
inline constexpr int kGraphStarTop = kGraphTimeTop + 14;
inline constexpr int kGraphStarHeight = 50;
inline constexpr int kGraphLegendTop = kGraphStarTop + kGraphStarHeight + 4;
inline constexpr int kGraphRasterWidth = kGraphWidth + kGraphMargin;
inline constexpr int kGraphRasterHeight = kGraphLegendTop + 12;

// Colours of the two axes: RA blue, Dec red; the star's SNR green and its mass magenta.
inline constexpr Argb kGraphRaColour = argb(0, 0, 255);
inline constexpr Argb kGraphDecColour = argb(255, 0, 0);
inline constexpr Argb kGraphSnrColour = argb(0, 150, 0);
inline constexpr Argb kGraphMassColour = argb(200, 0, 200);
inline constexpr Argb kGraphTextColour = argb(0, 0, 0);

const DialogResource& guide_graph_resource();

class GuideGraphWindow : public DialogModel {
  public:
    explicit GuideGraphWindow(Program& p) : DialogModel(p, guide_graph_resource()) {}
    void init() override;
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
    const Canvas* drawing(int control_id) const override;
    // Draws the errors and corrections within the span into the window's raster.
    void paint() const;

  private:
    // Set: the plate scale, the aggressiveness and the dithering settings as typed, each refused
    // with a message when it is not usable; what was taken is kept for the next start.
    void take_values();
    std::string scale_text_;  // the edits as typed, until Set takes them
    std::string aggressiveness_text_;
    std::string dither_text_[kGraphDitherFields];
    mutable Canvas picture_;
};

// Redraws an open graph window (after an error was measured or a correction sent).
void guide_graph_follow(Program& p);

// Window command 892: opens the graph (nothing when it is open already).
void open_guide_graph(Program& p);

}  // namespace kvr
