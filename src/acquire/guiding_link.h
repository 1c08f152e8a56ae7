#pragma once
// Where a camera run meets the guiders: self-guiding with the main camera's own window and
// guiding with the external guider head. Both belong to the guiding subsystem; until it provides
// them, a run that asks for either refuses with a clear message and takes no guided frame.
namespace kvr {

struct Program;

// StartSelfGuide for the run's frame: 0 when started, else the refusal code (1).
int start_self_guiding(Program& p);
// StartGuiderAutoGuide: true when the external guider started.
bool start_external_guider(Program& p);
// GuiderAutoGuide, one guider frame during an exposure: false when guiding failed (the
// exposure then ends at once).
bool external_guider_step(Program& p);

}  // namespace kvr
