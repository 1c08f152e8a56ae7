#pragma once
// The history of measured guide errors on the sky, as the guiding graph plots it and its RMS
// figures sum it. A guide frame's column is `guide_plate_scale` arcseconds wide and its row, one
// field of the sensor, twice that; the trained guider path's errors are resolved along its trained
// RA and Dec motions, every other path's along the frame's x (RA) and y (Dec).
namespace kvr {

struct Program;
struct StarSignal;

// Records the error just measured (`dx`, `dy`, thousandths of a guide-frame pixel; `guider` for
// the guider head's frames), updates the RMS figures and redraws an open graph window. Positive
// errors are the ones corrected east and north.
void record_guide_error(Program& p, bool guider);
// The guide star as the frame just measured shows it (its SNR and flux go with the next error).
void note_guide_star(Program& p, const StarSignal& star);
// The RMS about the mean of the errors within the last `guide_graph_minutes` (guide_rms_ra,
// guide_rms_dec, guide_rms_total, guide_graph_samples).
void update_guide_figures(Program& p);
// Forgets the errors and corrections recorded so far.
void clear_guide_history(Program& p);
// The plate scale in use: `guide_plate_scale`, or the default when it is not usable.
double plate_scale_in_use(const Program& p);

}  // namespace kvr
