#pragma once
// What a click does in the two guiding modes: place the focus sub-frame, or record the guide
// star. (x, y) is the image pixel after the enlargement's mapping and any snapping.
namespace kvr {

struct Program;

// Focus mode: the 128 × 128 sub-frame's origin around the click (chip columns, field rows),
// clamped to the chip; the mode ends and the frame's centre is reported.
void place_focus_frame(Program& p, int x, int y);
// Pick mode: the star in full-frame display coordinates (doubled on a binned image); the mode
// stays on until its command toggles it.
void record_picked_star(Program& p, int x, int y);

}  // namespace kvr
