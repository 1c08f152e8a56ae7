#pragma once
// Reading the cameras into the image buffers: each read sends one read command, receives the
// whole pixel block into `ReportBuffer` in one transfer and copies it into place. Also the timed
// exposures of focusing and guiding, the focus measurement and the guider frame's processing.
//
// A read returns false when a transfer failed or came back short (the link has shown the error);
// the destination then keeps the previous image untouched, so the caller can skip the frame.
// Waits here do not pump events, except that a guide exposure keeps the windows alive (the
// presses that stop a loop stay queued for the guide loop's next stop detection).
#include <cstdint>
#include <optional>

namespace kvr {

struct Program;

// Main camera. first_read: one full-width field (`ccd_frame`) into rows `interlaced_line`,
// +2, … of the destination; the first one of an exposure above 500 ms measures `download_time`.
// binned_read: both fields summed, two columns binned, 376 × 290 contiguous.
// focus_read / guide_read: the 128 × 128 window at (`focus_x`, `focus_y`) into the first
// 16384 elements. All write through `charimageptr`.
bool first_read(Program& p);
bool binned_read(Program& p);
// The two fields of one frame: hold_first_field reads field `ccd_frame` and keeps it aside
// (behind the reply in `ReportBuffer`) instead of placing it; second_field reads field
// `ccd_frame` and then places both, the held one in the even rows and this one in the odd rows.
// A frame whose second field fails thus leaves the destination as it was.
bool hold_first_field(Program& p);
bool second_field(Program& p);
bool focus_read(Program& p);
bool guide_read(Program& p);

// Guider head: autoguider_read puts the 500 × 290 8-bit samples into the high bytes of the
// guider image (through `charguiderimageptr`); low bytes are not written.
bool autoguider_read(Program& p);
// Reads and discards a guider frame, then clears the guider sensor twice.
bool autoguider_clear(Program& p);

// Fills the odd rows 1 … 577 of a 752 × 580 frame with the mean of the rows above and below
// (integer division); row 579 keeps its contents.
void fill_binned(uint16_t* image);

// Exposure of the focus and guide windows in ms from `exp_value` and `exp_range` ("h" 10,
// "t" 100, "q" 1, anything else 1000: minutes count as seconds here).
int window_exposure_ms(const Program& p);
// Exposure of the guider head in ms from `exp_guider_value` and `exp_guider_range` ("h" 10,
// "t" 100, anything else 1000).
int guider_exposure_ms(const Program& p);

// Focus loop frame: clears, exposes (sending vertical clears while it waits when the exposure
// is host-timed), reads the focus window and measures it. Returns the peak value, or nothing when
// the camera did not deliver (the previous measurement stays).
std::optional<uint16_t> camera_read(Program& p);
// The measurement alone, on the 128 × 128 window at `intimageptr`: histogram of high bytes,
// brightest pixel whose upper neighbour is also brighter than the running maximum, half level,
// outermost columns above it on the peak's row. Sets `max_focus_val` and `focus_FWHM` and the
// intermediate results; returns the peak.
uint16_t measure_focus_window(Program& p);

// Main-camera guiding frame: clears, waits host-timed exposures of 500 ms or more, reads the
// focus window.
bool camera_guide(Program& p);
// Self-guiding window: clears the vertical registers, waits `selfguiding_exposure` when it is
// 1000 ms or more, reads the window from field 1 when `switched_frame` is set, else field 2.
bool camera_selfguide(Program& p);

// Waits from `ticks` until `endticks` for a guide exposure (guide window or guider head): the
// windows are kept alive (WaitPresses::Held); `ticks` ends at the time the wait ended.
void guide_exposure_wait(Program& p);

// Guider frame: clear, expose `guider_exposure` (the guider's exposure, or `exposure_ms`), read,
// then dark subtraction (unless taking the dark frame), hot-pixel filter and gain
// (`guider_stretch` 5, 6, 7 multiply by 4, 2, 1; other values leave the data alone and the
// display stretch does the rest).
bool guider_camera_read(Program& p);
bool guider_camera_read(Program& p, int exposure_ms);
// The processing steps on their own, for the guider image at `guider_imageptr`.
void subtract_guider_dark(Program& p);
void filter_guider_hot_pixels(Program& p);
void apply_guider_gain(Program& p);
// The frame a guide star is measured on: the last guider read before its hot-pixel filter, or
// the guider image when the filter did not run. The filter takes the peak of a star narrower
// than a pixel (good seeing on the guider's tall rows) for a hot pixel and flattens it, and a
// star without its peak cannot be located within its row.
const uint16_t* guider_measure_frame(const Program& p);

}  // namespace kvr
