#include "guiding/guide_loop.h"

#include "camera/readout.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/display.h"
#include "files/file_io.h"
#include "guiding/centroid.h"
#include "guiding/corrections.h"
#include "guiding/guide_log.h"
#include "guiding/star_watch.h"
#include "scope/drive_link.h"

namespace kvr {

namespace {

bool read_guide_frame(Program& p) {
    p.ptr.image = p.buf->image_int;
    p.ptr.charimageptr = reinterpret_cast<uint8_t*>(p.ptr.image);
    return camera_guide(p);
}

void set_info_caption(Program& p, const char* caption) {
    copy_text(p.shell.info_caption, caption);
}

// The first guide frame: centroid twice and take the result as the reference. False when the
// star cannot be centred.
bool first_frame(Program& p) {
    GuideState& g = p.guide;
    if (find_centre(p, g.xcent, g.ycent, p.ptr.image, g.cur_rad) != 0) return false;
    find_centre(p, g.xcent, g.ycent, p.ptr.image, g.cur_rad);
    take_main_reference(p);
    g.fst = 0;
    set_info_caption(p, "Guiding Info");
    info_open(p);
    p.shell.got_guide_image = 1;
    return true;
}

}  // namespace

void take_main_reference(Program& p) {
    GuideState& g = p.guide;
    g.x1 = g.xcent;
    g.y1 = g.ycent;
    g.x1dec = g.xcentdec;
    g.y1dec = g.ycentdec;
}

void show_guide_frame(Program& p) {
    if (read_guide_frame(p)) image_prepare(p);
}

void start_guide(Program& p) {
    GuideState& g = p.guide;
    RunState& r = p.run;
    if (p.scope.telescope == 'n' || !p.link.got_kv) {
        messages(p, Msg::TelescopeNotSet);
        return;
    }
    if (!p.shell.picked_star) {
        messages(p, Msg::TakeImageAndPickStar);
        return;
    }
    check_telescope_link(p);
    if (!p.scope.comfound) {
        messages(p, Msg::TelescopeCommsFailed);
        return;
    }
    if (p.scope.telescope == 'b') interface_cr(p);
    g.guiding = 1;
    g.training = 0;
    r.continuous = 1;
    p.settings.continuous_delay = 0;
    g.cur_rad = p.settings.star_mask;
    reset_star_watch(p);
    guide_log_begin(p, GuidePath::MainCamera);
    calc_guideframe(p);
    r.end_loop = 0;
    g.x1 = g.xcent;
    g.y1 = g.ycent;

    while (r.continuous) {
        clear_messages(p);
        // A stop ends the loop before another frame is taken.
        if (!r.continuous) break;
        if (!read_guide_frame(p)) continue;
        if (g.fst && !first_frame(p)) {
            r.continuous = 0;
            r.end_loop = 1;
        }
        if (r.end_loop) continue;
        show_finished_frame(p);
        if (guide_telescope(p, p.ptr.image) != 0) r.continuous = 0;
        show_star_state(p, p.shell.info_caption, sizeof p.shell.info_caption);
        refresh_info_window(p);
    }
    guide_log_end(p);
    messages(p, Msg::GuidingTerminated);
    info_stopped(p);
    g.fst = 1;
    g.guiding = 0;
    g.tracking = 0;
    r.end_loop = 0;
    reset_focus_frame(p);
    g.xcent = g.old_xcent;
    g.ycent = g.old_ycent;
}

}  // namespace kvr
