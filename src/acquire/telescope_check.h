#pragma once
// The telescope link check used before the guiding commands talk to the mount, and window
// command 24 that opens the telescope control window after the same check.
namespace kvr {

struct Program;

// Checks the link once (while `comfound` is 0): settings reloaded (message 20 and a fresh
// settings file when they cannot be), then the drive's check; a failed LX200 check sets
// `telescope` to 'n' with message 36.
void comm_check(Program& p);

// Window command 24: after the link check, the telescope window of the drive
// (scope/telescope_dialog.h), or message 36 when no drive is chosen.
void telescope_control(Program& p);

}  // namespace kvr
