#pragma once
// Trainings in the guide log (guiding/guide_log.h): each is a calibration section in the layout
// of PHD2's, which the log viewers draw.
//
// A blank line, "Calibration Begins at ...", the settings lines a guiding session writes with the
// device's line naming the training's full test move ("Calibration Step = 2000 ms", or
// "Calibration steps = 40" for the AO unit), the heading "Direction,Step,dx,dy,x,y,Dist" and one
// line per measured step in the order measured: the move (West, East, North, South, or Left,
// Right, Up, Down for the AO unit; Backlash for a move that takes up a drive's play), its number,
// the star's offset from where the run of moves began (guide-frame px: columns, rows), its
// position, and that offset's length on the sky in columns (a row counts 1.93). West and east
// moves share a run and so do north and south; every Backlash run starts one of its own. The
// first step is where the star started: step 0 of the first move.
//
// Then "West calibration complete. Angle = ..., Rate = ... px/sec, Parity = N/A" and the same for
// North (Left and Up, px/step, on the AO unit), the motions the training measured, angles and
// rates as in a session's "Mount = ..." line. Last, "Calibration complete, mount = ...", or
// "Calibration Failed: ..." with the reasons the training's check refused it for (those the
// program shows, joined by "; "), or saying that it stopped at a test move that left no star to
// measure. A training that measured nothing leaves nothing.
#include <string>

#include "core/guide_log_state.h"
#include "guiding/training_check.h"

namespace kvr {

struct Program;

// A training starts on `path` (a guiding session still open ends first); `step_size` is its
// full test move: ms of drive, or steps of the AO unit.
void guide_log_calibration_begin(Program& p, GuidePath path, int step_size);
// The star measured at (x, y), guide-frame px, after a test move.
void guide_log_calibration_step(Program& p, CalibrationMove move, double x, double y);
// The training's verdict: its motions per second of west and of north drive (per AO step), px
// (x columns, y rows), and the reasons its check refused it, one a line (empty: accepted).
void guide_log_calibration_end(Program& p, Motion west, Motion north, const std::string& faults);
// The training stopped before its verdict: a test move left no star to measure.
void guide_log_calibration_stopped(Program& p);

}  // namespace kvr
