#include "guiding/guider_sequencer.h"

#include <algorithm>
#include <cstdio>

#include "camera/readout.h"
#include "camera/usb_link.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/waits.h"
#include "display/bmp_file.h"
#include "display/display.h"
#include "files/file_io.h"
#include "files/settings_file.h"
#include "guiding/guider_dialog.h"
#include "guiding/guider_guiding.h"
#include "guiding/guider_info_window.h"
#include "scope/drive_link.h"

namespace kvr {

namespace {

constexpr int kPreviewPauseSeconds = 1;

// The unit word of the guider exposure range, as the dark frame's description names it.
const char* unit_word(char range) {
    switch (range) {
        case 'h':
            return "hundredth";
        case 't':
            return "tenth";
        default:
            return "second";
    }
}

}  // namespace

void guider_control(Program& p) {
    GuideState& g = p.guide;
    g.guider_pick_star_save = g.guider_pick_star ? 1 : 0;
    g.guider_pick_star = 0;
    point_guider_buffers(p);
    report_bitmap_failure(p, write_guider_bmp(p));
    if (!p.link.got_kv) {
        if (load_ini_file(p, p.settings.ini_file) != 0) messages(p, Msg::NoIniFile);
        if (!find_camera(p)) return;
    }
    ScopeState& s = p.scope;
    if (s.telescope == 'n') {
        message50(p, "Please select a telescope drive method before using autoguider");
        return;
    }
    if (s.telescope == 'l')
        drive_check(p);
    else
        interface_check(p);
    s.comfound = 1;

    GuiderDialog dialog(p);
    p.host.run_modal(dialog);

    g.got_guidercam = 1;
    const bool main_camera = p.run.start_maincam != 0;
    const bool guide = g.start_guider != 0;
    p.run.start_maincam = 0;
    g.start_guider = 0;
    if (main_camera) send_window_command(p, Cmd::CameraControl);
    if (guide) send_window_command(p, Cmd::GuiderStartStandalone);
}

void guider_preview(Program& p, const std::function<void()>& redraw) {
    RunState& r = p.run;
    point_guider_buffers(p);
    r.stopit = 0;
    if (!autoguider_clear(p)) return;
    for (bool exposure = true; !r.stopit; exposure = !exposure) {
        const Presses seen = p.host.pump();
        if (seen.left || seen.other) r.stopit = 1;
        if (r.stopit) break;
        if (!exposure) {
            p.host.beep();
            if (p.guide.guider_exposure_delay && one_sec_delay(p, kPreviewPauseSeconds))
                r.stopit = 1;
            continue;
        }
        p.host.set_wait_cursor(true);
        const bool read = guider_camera_read(p);
        p.host.set_wait_cursor(false);
        if (!read) break;  // the read has said why; another try would only say it again
        redraw();
        p.guide.guided_image = 1;
        report_bitmap_failure(p, write_guider_bmp(p));
        redraw();
    }
}

bool take_guider_darkframe(Program& p) {
    GuideState& g = p.guide;
    point_guider_buffers(p);
    g.guider_darkframe_loaded = 0;
    g.guider_taking_darkframe = 1;
    const bool read = autoguider_clear(p) && guider_camera_read(p);
    g.guider_taking_darkframe = 0;
    if (!read) return false;
    const int drawn = write_guider_bmp(p);
    if (drawn != kBmpWritten) {
        report_bitmap_failure(p, drawn);
        return false;
    }
    g.guided_image = 1;
    std::copy(p.ptr.guider_imageptr, p.ptr.guider_imageptr + kGuiderPixels,
              p.ptr.guider_darkframeptr);
    std::snprintf(g.darkframe_base_text, sizeof g.darkframe_base_text, "%2d%s", g.exp_guider_value,
                  unit_word(g.exp_guider_range));
    g.guider_darkframe_loaded = 1;
    return true;
}

void guider_start_standalone(Program& p) {
    GuideState& g = p.guide;
    if (g.guider_guiding_standalone) return;
    g.guider_guiding_failed = 0;
    open_guider_info(p);
    point_guider_buffers(p);
    g.guider_guiding_standalone = 1;
    if (start_guider_auto_guide(p) != 0) {
        g.guider_guiding_standalone = 0;
        close_guider_info(p);
        return;
    }
    refresh_guider_info(p);
    while (!g.guider_guiding_failed && g.guider_guiding_standalone) {
        guider_auto_guide(p);
        if (g.guider_guiding_failed) break;
        // The Stop Guiding button runs here; a key press stops guiding too.
        const Presses seen = p.host.pump();
        if (seen.key || seen.other) g.guider_guiding_standalone = 0;
    }
    g.start_guider = 0;
    g.guider_guiding_standalone = 0;
    stop_guider_guiding(p);
    guider_info_stopped(p);
}

}  // namespace kvr
