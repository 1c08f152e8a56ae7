#include "acquire/guiding_link.h"

#include "core/host.h"
#include "core/program.h"

namespace kvr {

int start_self_guiding(Program& p) {
    p.host.diagnostic("Self-guiding is not available in this build: the exposure was not taken");
    return 1;
}

bool start_external_guider(Program& p) {
    p.host.diagnostic(
        "Guiding with the guider camera is not available in this build: the run was ended");
    return false;
}

bool external_guider_step(Program& p) {
    p.host.diagnostic(
        "Guiding with the guider camera is not available in this build: the exposure was ended");
    p.guide.guider_guiding = 0;
    p.guide.guider_guiding_standalone = 0;
    return false;
}

}  // namespace kvr
