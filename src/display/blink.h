#pragma once
// Blink comparison: the main window flips between the current image and the comparison image
// loaded from disk, so that what moved or changed stands out. The window is "Blink Comparison"
// (resource 21); its caption says which image is on screen.
#include <string>

#include "core/dialog.h"

namespace kvr {

const DialogResource& blink_resource();

class BlinkDialog : public DialogModel {
  public:
    explicit BlinkDialog(Program& p) : DialogModel(p, blink_resource()) {}
    void init() override { blink_original = 1; }
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
    std::string caption() const override;

    // The current image is on screen, so the button offers the comparison.
    int blink_original = 1;

  private:
    void flip_picture();
};

// Window command 125: opens the blink window unless it is open.
void blink_comparison(Program& p);
// Window command 925: the display refresh (the current image on screen).
void blink_show_original(Program& p);
// Window command 926: the comparison image on screen, in the current display choices.
void blink_show_comparison(Program& p);

}  // namespace kvr
