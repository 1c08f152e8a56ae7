#include "acquire/frame_hooks.h"

#include "app/program.h"

namespace kvr {

void display_refresh(Program& p) {
    ++p.run.hooks.display_refreshes;
}

void auto_save_frame(Program& p) {
    ++p.run.hooks.auto_saves;
}

int focus_frame_display(Program& p) {
    ++p.run.hooks.focus_displays;
    return 0;
}

}  // namespace kvr
