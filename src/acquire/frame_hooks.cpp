#include "acquire/frame_hooks.h"

#include "core/program.h"

namespace kvr {

void auto_save_frame(Program& p) {
    ++p.run.hooks.auto_saves;
}

}  // namespace kvr
