#pragma once
// Locating one star to a tenth of a pixel: the intensity-weighted centre of what stands above
// the sky background in a square box of side 2·rad + 1 around a start position. The background
// is the most populated level of the box's histogram.
#include <cstdint>

namespace kvr {

struct Program;

// What a centroid box with nothing above the background shows (`guide.centre_found` is then
// false).
inline constexpr const char* kGuiderCentreCaption = "KVR_P2_USB  - Find Centre";
inline constexpr const char* kNothingFoundText =
    "Sorry, Nothing found to centre on - exposure continuing";

// The largest box radius: the box's pixels are held in a work table of 1600 cells.
inline constexpr int kMaxCentroidRadius = 19;

// Main camera. `fredptr` rows are `width1` pixels long (the area is width1 × height1), or 128
// when `guiding` or `tracking` is set (the 128 × 128 guide sub-frame). Returns 1 when the box
// leaves the area or is overexposed (with a message box), else 0. Writes `xcent`, `ycent` and
// the tenths `xcentdec`, `ycentdec` (tenths only while guiding or self-guiding and
// `ignore_small` is clear; otherwise rounded to the nearest pixel with tenths 0). A box with
// nothing above the background leaves the results as they were and returns 0.
int find_centre(Program& p, int startx, int starty, const uint16_t* fredptr, int rad);

// Guider camera (500 × 290 frames). Returns 1 when the box leaves the frame, else 0, and writes
// `guider_xcent`, `guider_ycent` with their tenths.
int guider_find_centre(Program& p, int startx, int starty, const uint16_t* fredptr, int rad);

// Finds the star three times in a row from (x, y), each box centred on the last result, which
// `xcent`, `ycent` hold afterwards. A box with nothing above the background gives its start
// position. False when a box left the image or was overexposed (`xcent`, `ycent` then hold the
// last good position).
bool centre_three_times(Program& p, const uint16_t* frame, int x, int y, int rad);

// Snaps `point` (x, y on the image at `fredptr`, rows `width1` long) onto the star: three
// centroids with `cur_rad`, each starting at the previous result. Returns 1 (the point keeps the
// last good position) when a centroid fails, else 0.
int search_centre(Program& p, const uint16_t* fredptr, int point[2]);

// Places the 128 × 128 guide sub-frame around the picked star (`pick_xcent`, `pick_ycent` in
// full-frame display coordinates, rows shown twice): sets `focus_x`, `focus_y`, the star's
// position in the sub-frame (`xcent` = `drawx`, `ycent` = `drawy`), keeps the previous centroid
// in `old_xcent`, `old_ycent`, and starts tracking.
void calc_guideframe(Program& p);

}  // namespace kvr
