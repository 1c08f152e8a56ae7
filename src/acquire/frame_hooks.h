#pragma once
// The automatic save of each finished frame (CmSaveAsFits, which the auto-save issue builds).
// Until it exists, each call is counted in `run.hooks.auto_saves` and does nothing else.
namespace kvr {

struct Program;

void auto_save_frame(Program& p);

}  // namespace kvr
