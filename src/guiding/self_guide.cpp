#include "guiding/self_guide.h"

#include "camera/readout.h"
#include "core/image_store.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/display.h"
#include "files/file_io.h"
#include "guiding/centroid.h"
#include "guiding/corrections.h"
#include "guiding/guide_log.h"
#include "guiding/guide_loop.h"
#include "guiding/star_watch.h"
#include "scope/drive_link.h"

namespace kvr {

namespace {

constexpr int kStabilisingFrames = 3;

void set_caption(Program& p, const char* caption) {
    copy_text(p.shell.info_caption, caption);
    refresh_info_caption(p);
}

bool read_window(Program& p) {
    p.ptr.image = p.buf->image_int;
    p.ptr.charimageptr = reinterpret_cast<uint8_t*>(p.ptr.image);
    return camera_selfguide(p);
}

// Centroid at the reference; on success the result becomes the reference.
bool recentre(Program& p) {
    GuideState& g = p.guide;
    if (find_centre(p, g.x1, g.y1, p.ptr.image, g.cur_rad) != 0) return false;
    take_main_reference(p);
    return true;
}

// The readout mode of a self-guided frame: full resolution with the frame switch, or binned.
void choose_readout(Program& p) {
    Readout& r = p.readout;
    if (p.run.selfguidinghigh && r.binned) {
        r.binned = 0;
        r.highres_intl = 1;
        set_readout_geometry(p);
    } else if (!p.run.selfguidinghigh && !r.binned) {
        r.binned = 1;
        r.binned21 = r.highres_intl = r.highres_nonintl = 0;
        set_readout_geometry(p);
    }
}

}  // namespace

int start_self_guide(Program& p) {
    GuideState& g = p.guide;
    if (p.scope.telescope == 'n' || !p.link.got_kv) {
        messages(p, Msg::TelescopeNotSet);
        return 1;
    }
    if (!p.shell.picked_star) {
        messages(p, Msg::TakeImageAndPickStar);
        return 1;
    }
    check_telescope_link(p);
    if (!p.scope.comfound) {
        messages(p, Msg::TelescopeCommsFailed);
        return 2;
    }
    set_caption(p, "Guiding Info - Creating Guiding Frame");
    if (p.scope.telescope == 'b') interface_cr(p);
    g.training = 0;
    p.settings.continuous_delay = 0;
    g.cur_rad = p.settings.star_mask;
    reset_star_watch(p);
    guide_log_begin(p, GuidePath::SelfGuide);
    calc_guideframe(p);
    choose_readout(p);
    p.run.end_loop = 0;
    g.x1 = g.xcent;
    g.y1 = g.ycent;
    g.x1dec = g.y1dec = 0;
    set_caption(p, "Guiding Info - stabilising");
    p.run.first_selfguide = 1;
    for (int i = 0; i < kStabilisingFrames; ++i) {
        if (read_window(p)) image_prepare(p);
        refresh_info_window(p);
        p.run.first_selfguide = 0;
    }
    if (!recentre(p)) {
        g.guiding = 0;
        g.tracking = 0;
        return 3;
    }
    set_caption(p, "Guiding Info");
    read_window(p);
    recentre(p);
    refresh_info_window(p);
    return 0;
}

void self_guide_cycle(Program& p) {
    GuideState& g = p.guide;
    const bool read = read_window(p);
    if (p.run.selfguiding_darkframe || !read) return;
    image_prepare(p);
    if (guide_telescope(p, p.ptr.image) != 0) {
        g.selfguiding = 0;
        g.guiding = 0;
        return;
    }
    p.shell.got_guide_image = 1;
    show_star_state(p, p.shell.info_caption, sizeof p.shell.info_caption);
    refresh_info_window(p);
}

void switch_self_guide(Program& p) {
    const bool dark = p.run.selfguiding_darkframe != 0;
    set_caption(p, "Guiding Info - Switching Guiding Frame");
    p.run.first_selfguide = 1;
    for (int i = 0; i < kStabilisingFrames; ++i) {
        if (read_window(p) && !dark) image_prepare(p);
        p.run.first_selfguide = 0;
    }
    if (!dark) recentre(p);
    set_caption(p, dark ? "Guiding Info - Darkframe in Progress" : "Guiding Info");
    read_window(p);
    if (!dark) recentre(p);
}

}  // namespace kvr
