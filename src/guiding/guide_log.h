#pragma once
// The guide log: every guiding session (main camera, self-guiding, the guider head through the
// mount or the AO unit, stand-alone or beside an exposure) and every training (calibration) of
// the main camera, the guider head through the mount and the AO unit, written in the layout of
// PHD2's guide logs, so that the tools that read those (log viewers, guiding analysers) read these
// too. This header writes the sessions; guiding/calibration_log.h the trainings.
//
// One file per run of the program, "PHD2_GuideLog_YYYY-MM-DD_HHMMSS.txt" in the folder of the
// settings file (c:\autosave), named for the program's local time when its first section
// started; every time in it is the program's clock (the virtual clock in a simulated night). The
// file holds a header line, then for each session a blank line, "Guiding Begins at ...", the
// settings lines (pixel scale, camera, exposure, mount with its trained angles and rates, lock
// position), the column heading, one CSV line per guide frame, "INFO: ..." lines (dithering,
// settling) and "Guiding Ends at ...". A session that measured no frame leaves nothing.
//
// Frame lines: frame number from 1, seconds since the session began, "Mount" or "AO", dx and dy
// (the star's offset from the reference in guide-frame pixels, star minus reference), the offset
// along RA and Dec in pixels of the plate scale (a guide-frame column; positive where the
// correction is east / north), the same again on each axis a correction was sent for (0 on an axis
// left alone), the mount pulses (ms and E/W, N/S) or the AO steps (east and north positive), the
// star's mass (ADU above the sky), its SNR and an error code. A frame without the guide star is a
// "DROP" line with its mass, SNR, error code and reason.
#include <string_view>

#include "core/guide_log_state.h"
#include "guiding/star_watch.h"

namespace kvr {

struct Program;

// The path the guider head guides by now (`GuiderMode`).
GuidePath guider_path(const Program& p);

// A session starts (one still open ends first; a training's section still open is left
// unfinished) / ends. guide_log_end_if ends only a session of that path.
void guide_log_begin(Program& p, GuidePath path);
void guide_log_end(Program& p);
void guide_log_end_if(Program& p, GuidePath path);

// The star watch's verdict on a guide frame, logged: a frame without the guide star is dropped
// with its reason; a measured one keeps its mass and SNR for its line.
StarSeen watch_and_log(Program& p, const StarSignal& star);
// The error just measured (`dx`, `dy`) and resolved on the sky (arcseconds, positive where the
// correction is east / north) at `arcsec_per_px`: the frame's line, completed by the corrections
// that follow it.
void guide_log_measured(Program& p, double ra_arcsec, double dec_arcsec, double arcsec_per_px);
// A correction sent for the frame just measured: a mount pulse of `amount` ms or an AO move of
// `amount` steps, `letter` the direction letter sent (mapped by the settings' letters).
void guide_log_correction(Program& p, char letter, int amount, bool ao);
// An "INFO: " line in the open session.
void guide_log_info(Program& p, std::string_view text);

}  // namespace kvr
