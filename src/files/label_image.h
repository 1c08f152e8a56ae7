#pragma once
// Image labels: a line of text (a caption and, optionally, the date and time) burnt into the top
// rows of the 16-bit image with the built-in font, and the label mark that tells image
// operations to leave that band alone.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/dialog.h"
#include "files/label_mark.h"

namespace kvr {

struct Program;

// Room of the label text (characters).
inline constexpr size_t kLabelTextChars = 30;
// The line is centred in this many 8-pixel cells.
inline constexpr int kLabelCells = 64;
// Room the centring keeps for the date part.
inline constexpr int kLabelDateCells = 24;

// The line do_label_image draws: the text centred in 64 cells, followed by the date part when
// `auto_date` is 1 (from FITS_Time and FITS_Date with `auto_FITS_date`, else the clock).
std::string label_line(Program& p, int auto_date, std::string_view txtbuffer);

// Clears the first 10 rows of `image` (a frame of the current geometry), draws the line into
// cells of 8 x 10 pixels from column 0 (a line wider than the row goes on in the next rows; no
// pixel past the frame is written) and writes the label mark.
void do_label_image(Program& p, int auto_date, std::string_view txtbuffer, uint16_t* image);

// Window command 8: the label dialog, then the label on the current image and the display
// refresh.
void label_image(Program& p);

const DialogResource& label_dialog_resource();

// "Label Current Image" (resource 8).
class LabelDialog : public DialogModel {
  public:
    explicit LabelDialog(Program& p) : DialogModel(p, label_dialog_resource()) {}
    void init() override;
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;

  private:
    void toggle_auto_date();
    void toggle_fits_date();
    std::string text_;
};

}  // namespace kvr
