#include "acquire/guiding_link.h"

#include "core/messages.h"
#include "core/program.h"
#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "files/file_io.h"
#include "guiding/guider_guiding.h"
#include "guiding/self_guide.h"
#include "imaging/arithmetic.h"

namespace kvr {

int start_self_guiding(Program& p) {
    return StartSelfGuide(p);
}

bool start_external_guider(Program& p) {
    GuideState& g = p.guide;
    g.guider_guiding_failed = 0;
    return StartGuiderAutoGuide(p) == 0 && !g.guider_guiding_failed;
}

bool external_guider_step(Program& p) {
    GuiderAutoGuide(p);
    return !p.guide.guider_guiding_failed;
}

bool self_guide_step(Program& p) {
    SelfGuide(p);
    return p.guide.selfguiding != 0;
}

void stop_external_guider(Program& p) {
    stop_guider_guiding(p);
    p.host.info_close();
    p.host.repaint();
}

void switch_self_guide_frame(Program& p) {
    RunState& run = p.run;
    Readout& r = p.readout;
    GuideState& g = p.guide;
    run.switching = 1;
    run.switched_frame = 1;
    KV_clearvert(p);
    r.ccd_frame = 1;
    copy_text(p.shell.info_caption, "Guiding Info - Downloading Image");
    InfoCaption(p);
    g.tracking = 0;
    p.ptr.charimageptr = reinterpret_cast<uint8_t*>(p.ptr.image);
    p.ptr.intimageptr = p.ptr.image;
    KV_first_read(p);
    backup_image(p, p.ptr.image, p.ptr.trial);
    KV_wiper(p);
    g.tracking = 1;
    SwitchSelfGuide(p);
    KV_clearvert(p);
    KV_wiper(p);
    clear_messages(p);
}

}  // namespace kvr
