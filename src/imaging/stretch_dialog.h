#pragma once
// "Normal Stretch" (resource 3): black and white points of the normal stretch in display levels,
// over the histogram of the current image with arrows marking the two points.
#include "core/canvas.h"
#include "core/dialog.h"

namespace kvr {

inline constexpr int kStretchHistogramArea = 200;  // the drawing area's control id

const DialogResource& stretch_dialog_resource();

class StretchDialog : public DialogModel {
  public:
    explicit StretchDialog(Program& p) : DialogModel(p, stretch_dialog_resource()) {}
    void init() override;
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
    const Canvas* drawing(int control_id) const override;

  private:
    void scroll_white(const ControlEvent& e);
    void scroll_black(const ControlEvent& e);
    void draw_markers();

    Canvas picture_;
};

}  // namespace kvr
