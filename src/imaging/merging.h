#pragma once
// Merging: a second image added onto (or averaged with) the current one after aligning the two
// on one marked point. The original is marked, the second image loaded with File/Open (the
// original then waits in `trial_int`), its matching point marked, and Merge combines them in the
// original's framing. The window is "MERGE IMAGES" (resource 13).
#include <cstdint>

#include "core/dialog.h"

namespace kvr {

const DialogResource& merge_resource();

class MergeDialog : public DialogModel {
  public:
    explicit MergeDialog(Program& p) : DialogModel(p, merge_resource()) {}
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;

  private:
    void merge_now();
};

// Combines `second` (A, the image shown) into `original` (B) shifted by the difference of the
// marked points, then copies B over A (`intlength` pixels). Pixels whose counterpart in A is not
// strictly inside it (column 0, the last column, the header band's or the first row) keep B's
// value. Adds with clipping at 65535, or averages.
void do_merge(Program& p, uint16_t* second, uint16_t* original, int orig_x, int orig_y, int merge_x,
              int merge_y, int average);

// Window command 111 ("Merge two Images together").
void add_image(Program& p);
// A marking click at image pixel (x, y), already snapped when `merge_centre` asks for it.
void merge_mark(Program& p, int x, int y);

}  // namespace kvr
