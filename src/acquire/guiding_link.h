#pragma once
// Where a camera run meets the guiders: self-guiding with the main camera's own window and
// guiding with the external guider head.
namespace kvr {

struct Program;

// start_self_guide for the run's frame: 0 when started, else the refusal code.
int start_self_guiding(Program& p);
// start_guider_auto_guide: true when the external guider started.
bool start_external_guider(Program& p);
// guider_auto_guide, one guider frame during an exposure: false when guiding failed (the
// exposure then ends at once).
bool external_guider_step(Program& p);
// self_guide_cycle, one self-guide window during an exposure. False when the star was lost.
bool self_guide_step(Program& p);
// The external guider stops with the run: the AO unit returns to its centre after AO guiding.
void stop_external_guider(Program& p);
// The mid-exposure switch of a self-guided high-resolution frame: field 1 is read and kept,
// guiding goes on in field 2.
void switch_self_guide_frame(Program& p);

}  // namespace kvr
