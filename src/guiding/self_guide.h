#pragma once
// Self-guiding: during a long main exposure, 128 × 128 windows are read from the field that is not
// exposing and the mount is corrected after each.
namespace kvr {

struct Program;

// start_self_guide: 0 started; 1 refused (message 55 without a drive or camera,
// 53 without a picked star); 2 no telescope link (message 54); 3 the star was not found.
int start_self_guide(Program& p);
// self_guide_cycle: one window and its correction; clears `selfguiding` and `guiding`
// when the star is lost.
void self_guide_cycle(Program& p);
// switch_self_guide: re-acquires the reference after the frame switch.
void switch_self_guide(Program& p);

}  // namespace kvr
