#pragma once
// Self-guiding: during a long main exposure, 128 × 128 windows are read from the field that is not
// exposing and the mount is corrected after each.
namespace kvr {

struct Program;

// TKorv_qx4Window::StartSelfGuide: 0 started; 1 refused (message 55 without a drive or camera,
// 53 without a picked star); 2 no telescope link (message 54); 3 the star was not found.
int StartSelfGuide(Program& p);
// TKorv_qx4Window::SelfGuide: one window and its correction; clears `selfguiding` and `guiding`
// when the star is lost.
void SelfGuide(Program& p);
// TKorv_qx4Window::SwitchSelfGuide: re-acquires the reference after the frame switch.
void SwitchSelfGuide(Program& p);

}  // namespace kvr
