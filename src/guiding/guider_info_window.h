#pragma once
// The guider head's guiding-information window "AutoGuider Camera Guiding" (GuiderInfoWindow,
// resource 24), open while guider guiding runs: the guider picture with a cross where the picked
// star is held and a mark on the live centroid, the centroid, the error, the last pulse lengths,
// the AO offsets, the letter of a mount bump for 2.5 s, the Stop Guiding button (stand-alone
// guiding only) and a 100 × 100 box plotting the guide star's recent errors from −5 to +5 px.
#include "core/canvas.h"
#include "core/dialog.h"

namespace kvr {

inline constexpr int kGuiderInfoResource = 24;

namespace gi {
inline constexpr int kPicture = 800;  // guider picture and movement box
inline constexpr int kCentreX = 918, kCentreY = 919, kErrorX = 920, kErrorY = 921, kPulseX = 922,
                     kPulseY = 923, kStopGuiding = 924, kAoEastWest = 925, kAoNorthSouth = 926,
                     kMountBump = 927;
// Drawing layout: the picture at (kPictureX, kPictureY), the movement box beside it.
inline constexpr int kPictureX = 0, kPictureY = 5;
inline constexpr int kBoxX = 518, kBoxY = 8, kBoxSize = 100;
inline constexpr int kDrawWidth = 628, kDrawHeight = 300;
// The box spans ±5 pixels of error: 10 box pixels a guider pixel.
inline constexpr int kBoxPixelsPerPixel = kBoxSize / 10;
// A mount bump's letter stays shown this long (ms).
inline constexpr unsigned kBumpShownMs = 2500;
}  // namespace gi

const DialogResource& guider_info_resource();

class GuiderInfoWindow : public DialogModel {
  public:
    explicit GuiderInfoWindow(Program& p) : DialogModel(p, guider_info_resource()) {}
    void handle(const ControlEvent& e) override;
    void render(DialogView& view) const override;
    // GuiderInfoWindow::refresh_info_caption: the window caption is `guider_info_caption` once one
    // is set.
    std::string caption() const override;
    const Canvas* drawing(int control_id) const override;

  private:
    mutable Canvas canvas_;
};

// Opens (or raises) the window; its movement trail starts empty.
void open_guider_info(Program& p);
// Redraws it from state when it is open.
void refresh_guider_info(Program& p);
void close_guider_info(Program& p);

}  // namespace kvr
