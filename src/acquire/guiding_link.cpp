#include "acquire/guiding_link.h"

#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/file_io.h"
#include "guiding/guider_guiding.h"
#include "guiding/guider_info_window.h"
#include "guiding/self_guide.h"
#include "imaging/arithmetic.h"

namespace kvr {

namespace {

// The guide windows time their own exposures with the timer marks the main exposure's wait is
// counting to: these are kept across a guide step, so the main exposure keeps its length.
class ExposureMarks {
  public:
    explicit ExposureMarks(Program& p) : r_(p.readout), ticks_(r_.ticks), endticks_(r_.endticks) {}
    ~ExposureMarks() {
        r_.ticks = ticks_;
        r_.endticks = endticks_;
    }
    ExposureMarks(const ExposureMarks&) = delete;
    ExposureMarks& operator=(const ExposureMarks&) = delete;

  private:
    Readout& r_;
    uint32_t ticks_, endticks_;
};

}  // namespace

int start_self_guiding(Program& p) {
    ExposureMarks marks(p);
    return start_self_guide(p);
}

bool start_external_guider(Program& p) {
    ExposureMarks marks(p);
    GuideState& g = p.guide;
    g.guider_guiding_failed = 0;
    open_guider_info(p);
    if (start_guider_auto_guide(p) == 0 && !g.guider_guiding_failed) return true;
    close_guider_info(p);
    return false;
}

bool external_guider_step(Program& p) {
    ExposureMarks marks(p);
    guider_auto_guide(p);
    return !p.guide.guider_guiding_failed;
}

bool self_guide_step(Program& p) {
    ExposureMarks marks(p);
    self_guide_cycle(p);
    return p.guide.selfguiding != 0;
}

void stop_external_guider(Program& p) {
    stop_guider_guiding(p);
    guider_info_stopped(p);
    p.host.repaint();
}

void switch_self_guide_frame(Program& p) {
    RunState& run = p.run;
    Readout& r = p.readout;
    GuideState& g = p.guide;
    run.switching = 1;
    run.switched_frame = 1;
    clear_vertical(p);
    r.ccd_frame = 1;
    copy_text(p.shell.info_caption, "Guiding Info - Downloading Image");
    refresh_info_caption(p);
    g.tracking = 0;
    p.ptr.charimageptr = reinterpret_cast<uint8_t*>(p.ptr.image);
    p.ptr.intimageptr = p.ptr.image;
    first_read(p);
    backup_image(p.geo, p.ptr.image, p.ptr.trial);
    wiper(p);
    g.tracking = 1;
    switch_self_guide(p);
    clear_vertical(p);
    wiper(p);
    clear_messages(p);
}

}  // namespace kvr
