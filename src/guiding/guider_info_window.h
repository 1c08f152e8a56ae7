#pragma once
// The guider head's guiding-information window "AutoGuider Camera Guiding" (GuiderInfoWindow,
// resource 24), open while guider guiding runs: the guider picture with a cross where the picked
// star is held and a mark on the live centroid, the centroid, the error, the last pulse lengths,
// the AO offsets, the letter of a mount bump for 2.5 s, the Stop Guiding button (stand-alone
// guiding only) and a 100 × 100 box plotting the guide star's recent errors from −5 to +5 px;
// below the box the profile of the star's row, beside the fields its peak, HFD, FWHM and SNR.
// The window stays open with its last figures when guiding stops.
#include "core/canvas.h"
#include "core/dialog.h"
#include "guiding/star_figures.h"

namespace kvr {

inline constexpr int kGuiderInfoResource = 24;

namespace gi {
inline constexpr int kPicture = 800;  // guider picture and movement box
inline constexpr int kCentreX = 918, kCentreY = 919, kErrorX = 920, kErrorY = 921, kPulseX = 922,
                     kPulseY = 923, kStopGuiding = 924, kAoEastWest = 925, kAoNorthSouth = 926,
                     kMountBump = 927;
inline constexpr int kPeak = 928, kSnr = 929, kHfd = 930, kFwhm = 931;
// Labels of the pulse fields, whose unit follows the guide path (ms of drive, or AO steps).
inline constexpr int kPulseXLabel = 932, kPulseYLabel = 933;
// Drawing layout: the picture at (kPictureX, kPictureY), the movement box and the star's profile
// under it (beside it the window would not fit a 1366-pixel screen beside the main window).
inline constexpr int kPictureX = 0, kPictureY = 5;
inline constexpr int kBoxX = 1, kBoxY = 301, kBoxSize = 100;
inline constexpr int kProfileX = 120, kProfileY = kBoxY, kProfileWidth = 170;
inline constexpr int kProfileHeight = kBoxSize;
inline constexpr int kDrawWidth = 500, kDrawHeight = kBoxY + kBoxSize + 2;
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

    // The guide star's figures in the guider frame, at the centroid guiding holds.
    StarFigures star() const;

  private:
    mutable Canvas canvas_;
};

// Opens (or raises) the window; its movement trail starts empty.
void open_guider_info(Program& p);
// Redraws it from state when it is open.
void refresh_guider_info(Program& p);
void close_guider_info(Program& p);
// Guiding has stopped: the window stays with its last picture and figures (Stop Guiding greyed)
// until the user closes it or guiding starts again.
void guider_info_stopped(Program& p);

}  // namespace kvr
