#pragma once
// Aperture photometry on the current image: square masks of (2·`cur_rad` + 1)² pixels summed at
// an object star, a comparison star and a background patch chosen with the mouse, and their
// magnitude difference. The window is "PHOTOMETRY" (resource 10).
#include <string>

#include "core/dialog.h"

namespace kvr {

const DialogResource& photometry_resource();

class PhotometryDialog : public DialogModel {
  public:
    explicit PhotometryDialog(Program& p) : DialogModel(p, photometry_resource()) {}
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
};

// Window command 14 ("Photometry of Image").
void open_photometry(Program& p);
// Sum of the square of half-width `rad` around (x, y), both ends included, rows of `width1`.
// The caller keeps the square inside the image.
int mask_sum(const Program& p, const uint16_t* image, int x, int y, int rad);
// A measuring click at image pixel (x, y): the mask's sum into the slot `ph_object` names.
void photometry_measure(Program& p, int x, int y);
// The pointer over image pixel (x, y): its value into the "Cursor Position" fields.
void photometry_pointer(Program& p, int x, int y);
// The magnitude difference field: "%2.2f" of -2.5 log10 of the net signals, or empty when one of
// them is missing or not above the background.
std::string magnitude_difference(int obj_val, int comp_val, int back_val);

}  // namespace kvr
