#include "guiding/guider_guiding.h"

#include <cstdio>

#include "camera/readout.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/bmp_file.h"
#include "files/file_io.h"
#include "guiding/centroid.h"
#include "guiding/corrections.h"
#include "guiding/guide_log.h"
#include "guiding/guider_info_window.h"
#include "guiding/star_watch.h"
#include "scope/ao_unit.h"

namespace kvr {

namespace {

constexpr int kStabilisingRounds = 3;

// The guiding-information window shows the new centroid and error; the movement box keeps them.
void guider_info_update(Program& p) {
    const GuideState& g = p.guide;
    p.guide.guider_trail.record(g.x3, g.y3);
    refresh_guider_info(p);
}

void set_caption(Program& p, const char* caption) {
    copy_text(p.guide.guider_info_caption, caption);
    refresh_guider_info(p);
}

}  // namespace

void point_guider_buffers(Program& p) {
    ImagePointers& q = p.ptr;
    q.guider_image = p.buf->image_guider_int;
    q.guider_imageptr = q.guider_image;
    q.charguiderimageptr = reinterpret_cast<uint8_t*>(q.guider_image);
    q.guider_darkframeptr = p.buf->guider_darkframe_int;
    q.guider_trialptr = p.buf->trial_guider_int;
}

bool read_and_draw(Program& p) {
    if (!guider_camera_read(p)) return false;
    p.guide.guided_image = 1;
    write_guider_bmp(p);
    return true;
}

int start_guider_auto_guide(Program& p) {
    GuideState& g = p.guide;
    if (p.scope.telescope == 'n' || !p.link.got_kv) {
        messages(p, Msg::TelescopeNotSet);
        return 1;
    }
    if (!g.guider_picked_star) {
        messages(p, Msg::TakeImageAndPickStar);
        return 1;
    }
    point_guider_buffers(p);
    set_caption(p, "Guiding Info - Creating Guiding Frame");
    g.auto_guider_training = 0;
    g.cur_rad = p.settings.star_mask;
    reset_star_watch(p);
    guide_log_begin(p, guider_path(p));
    p.run.end_loop = 0;
    autoguider_clear(p);
    if (!read_and_draw(p) || guider_find_centre(p, g.guider_pick_xcent, g.guider_pick_ycent,
                                                guider_measure_frame(p), g.cur_rad) != 0) {
        g.guider_guiding_failed = 1;
        return 1;
    }
    g.x1 = g.guider_xcent;
    g.y1 = g.guider_ycent;
    g.x1dec = g.guider_xcentdec;
    g.y1dec = g.guider_ycentdec;
    set_caption(p, "Guiding Info - stabilising");
    for (int round = 0; round < kStabilisingRounds; ++round) {
        p.host.pump();
        if (guider_guide_command(p, guider_measure_frame(p)) != 0) g.guider_guiding_failed = 1;
        p.shell.got_guide_image = 1;
        guider_info_update(p);
        autoguider_clear(p);
        read_and_draw(p);
    }
    set_caption(p, "Guiding Info");
    read_and_draw(p);
    guider_info_update(p);
    return 0;
}

void guider_auto_guide(Program& p) {
    GuideState& g = p.guide;
    point_guider_buffers(p);
    if (!read_and_draw(p)) return;
    if (guider_guide_command(p, guider_measure_frame(p)) != 0) {
        g.guider_guiding_failed = 1;
        return;
    }
    show_star_state(p, g.guider_info_caption, sizeof g.guider_info_caption);
    guider_info_update(p);
}

void stop_guider_guiding(Program& p) {
    p.guide.guider_guiding = 0;
    guide_log_end(p);
    if (p.settings.GuiderMode == 'A') ao_unit_reset(p);
}

}  // namespace kvr
