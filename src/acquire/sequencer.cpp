// The main camera's run: set-up, the camera control dialog, the run and frame loops, finish.
#include "acquire/sequencer.h"

#include <algorithm>
#include <climits>
#include <string>

#include "acquire/camera_dialog.h"
#include "acquire/dither.h"
#include "acquire/exposure_units.h"
#include "acquire/guiding_link.h"
#include "acquire/run_steps.h"
#include "camera/command_blocks.h"
#include "camera/usb_link.h"
#include "core/history.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/waits.h"
#include "display/display.h"
#include "files/auto_save.h"
#include "files/file_io.h"
#include "files/settings_file.h"

namespace kvr {

namespace {

constexpr int kSeriesRuns = 5;
constexpr int kSeriesFactor = 4;
// Pixel size in millimetres written into the FITS header.
constexpr double kBinnedPixelWidthMm = 0.0172;
constexpr double kBinnedPixelHeightMm = 0.0166;
constexpr double kFullPixelWidthMm = 0.0086;
constexpr double kFullPixelHeightMm = 0.0083;

// The set-up of a run: fresh run flags, default calibration files, the camera found.
bool prepare_run(Program& p) {
    RunState& r = p.run;
    SettingsState& s = p.settings;
    r.start_maincam = 0;
    r.cont_work = 0;
    r.series_work = 0;
    r.end_loop = 0;
    r.switched_frame = 0;
    r.switching = 0;
    p.readout.interlaced_line = 0;
    // Star picking is switched off while the camera runs.
    r.pick_star_save = p.shell.pick_star ? 1 : 0;
    p.shell.pick_star = 0;
    if (!s.DarkFileName[0]) copy_text(s.DarkFileName, "c:\\dark.def");
    if (!s.FlatFileName[0]) copy_text(s.FlatFileName, "c:\\flat.def");
    p.ptr.image = p.buf->image_int;
    r.darkframe_loaded = 0;
    r.flatfield_loaded = 0;
    r.last_selfguided = 0;
    if (!p.link.got_kv) {
        if (load_ini_file(p, s.ini_file) != 0) messages(p, Msg::NoIniFile);
        if (!find_camera(p)) return false;
    }
    r.orig_x = r.orig_y = r.merge_x = r.merge_y = r.orig_avg = 0;
    r.no_images = 1;
    return true;
}

// The dialog closed without a photo: leave focus mode, or hand over to the guider camera.
void dialog_closed(Program& p) {
    RunState& r = p.run;
    if (r.focus_mode) {
        // Focus mode ends before the refresh, so the main picture is rebuilt from the whole
        // image rather than written to the focus scratch file again.
        r.focus_mode = 0;
        p.host.set_wait_cursor(true);
        image_prepare(p);
        p.host.set_wait_cursor(false);
    }
    if (r.start_autoguidercam) {
        r.start_autoguidercam = 0;
        send_window_command(p, Cmd::GuiderControl);
    }
}

// The run's geometry, exposure and readout mode.
void configure_run(Program& p, RunContext& c) {
    RunState& r = p.run;
    Readout& ro = p.readout;
    SettingsState& s = p.settings;
    set_readout_geometry(p);
    r.stopit = 1;
    r.focus_mode = 0;
    s.FITS_Pixwidth = ro.binned ? kBinnedPixelWidthMm : kFullPixelWidthMm;
    s.FITS_Pixheight = ro.binned ? kBinnedPixelHeightMm : kFullPixelHeightMm;
    p.ptr.image = p.buf->image_int;
    p.ptr.undo = p.buf->undo_int;
    ro.exposure = exposure_ms(r.exp_value, r.exp_range);
    ro.selfguiding_exposure =
        r.selfguiding_darkframe
            ? 100
            : selfguide_exposure_ms(r.selfguiding_exp_value, r.selfguiding_exp_range);
    // Field 2 goes on collecting light while field 1 downloads: below the download time the two
    // fields would differ too much, so the frame is taken as two exposures (and stays so).
    if (ro.exposure < ro.download_time && ro.highres_intl) {
        ro.highres_intl = 0;
        ro.highres_nonintl = 1;
    }
    s.FITS_Exptime = 0;
    p.host.set_wait_cursor(true);
    copy_text(p.shell.image_name, "QX Camera Image");
    c.multiple_frames = r.no_images >= 2;
}

void rearm_self_guiding(Program& p) {
    RunState& r = p.run;
    if (!r.last_selfguided) return;
    p.shell.got_guide_image = 0;
    r.first_selfguide = 1;
    r.selfguidingframes = 0;
    p.guide.selfguiding = 1;
    r.switched_frame = 0;
    p.readout.interlaced_line = 0;
    r.switching = 0;
}

// The next frame is registered on the picked star again.
void restore_picked_star(Program& p) {
    ShellState& s = p.shell;
    if (!s.picked_star) return;
    s.pick_star_small = s.pick_small;
    p.guide.xcent = s.pick_xcent;
    p.guide.ycent = s.pick_ycent;
}

void show_frame(Program& p, RunContext& c) {
    if (c.frame_shown || !c.frame_ready) return;
    record_and_show_frame(p);
    c.frame_shown = true;
}

// Next: go on with the run; Abandon: leave without the finish; Finish: leave the run and finish.
enum class FrameEnd { Next, Abandon, Finish };

// The exposure time and start of the image this frame makes, which its auto-save writes: a frame
// of its own carries its own; a summed image the total of its frames and the first one's start.
void record_exposure(Program& p, RunContext& c, int32_t started) {
    RunState& r = p.run;
    double& exptime = p.settings.FITS_Exptime;
    const double seconds = p.readout.exposure / 1000.0;
    if (!frames_are_summed(p, c)) {
        r.start_exp = started;
        exptime = seconds;
        return;
    }
    if (!c.sum_started) {
        c.sum_started = true;
        r.start_exp = started;
        exptime = 0;
    }
    exptime += seconds;
}

// Self-guiding of the frame: the guiding information window and start_self_guide.
FrameEnd start_frame_self_guiding(Program& p, RunContext& c) {
    RunState& r = p.run;
    p.shell.got_guide_image = 0;
    r.first_selfguide = 1;
    p.ptr.imageptr = p.ptr.image;
    r.selfguidingframes = 0;
    copy_text(p.shell.info_caption, r.selfguiding_darkframe ? "Guiding Info - Darkframe in Progress"
                                                            : "Guiding Info - Checking Telescope");
    info_open(p);
    r.last_selfguided = 1;
    // A matching dark frame is guided by the same self-guide frames, so it cannot run either.
    if (start_self_guiding(p) != 0) {
        info_close(p);
        close_progress(p, c);
        p.guide.selfguiding = 0;
        return FrameEnd::Abandon;
    }
    wiper(p);
    return FrameEnd::Next;
}

// One pass of the frame loop: expose, read, show, pause.
FrameEnd take_frame(Program& p, RunContext& c) {
    RunState& r = p.run;
    SettingsState& s = p.settings;
    dither_before_exposure(p, c);
    c.frame_shown = false;
    c.frame_ready = false;
    set_caption_with_count(p, "EXPOSURE UNDERWAY", r.no_images);
    p.shell.progress = 0;
    c.first_field_armed = true;
    c.steps = progress_steps(r.exp_value, r.exp_range);

    clear_messages(p);
    clear_vertical(p);
    wiper(p);
    echo_ccd(p);  // the exposure starts here
    const auto started = static_cast<int32_t>(p.clock.calendar_time());
    if (p.guide.selfguiding && start_frame_self_guiding(p, c) == FrameEnd::Abandon)
        return FrameEnd::Abandon;

    if (r.exp_range == 's' || r.exp_range == 'm')
        host_timed_wait(p, c);
    else
        short_unit_wait(p);
    if (c.self_guide_lost) return FrameEnd::Finish;
    if (!r.end_loop && p.link.got_kv) {
        record_exposure(p, c, started);
        c.frame_ready = read_phase(p, c);
    }
    close_progress(p, c);
    // A camera that left the bus ends the run; the next camera command looks for it again.
    if (!p.link.got_kv) return FrameEnd::Finish;
    r.no_images = std::max(0, r.no_images - 1);
    c.frames_taken += 1;

    if (c.multiple_frames && r.cont_work && r.no_images == 0) r.cont_work = 0;
    if (r.cont_work) {
        show_frame(p, c);
        if (one_sec_delay(p, 1)) {
            r.no_images = 0;
            r.cont_work = 0;
        }
        // A stop during the pause ends the run here, before another exposure starts.
        if (s.continuous_delay >= 1 && continuous_pause(p, c)) r.no_images = 0;
    }
    if (r.no_images >= 1) {
        show_frame(p, c);
        rearm_self_guiding(p);
        restore_picked_star(p);
    }
    return FrameEnd::Next;
}

void next_series_exposure(Program& p, RunContext& c) {
    RunState& r = p.run;
    int& exposure = p.readout.exposure;
    if (c.series_step == 1 && r.cont_work) {
        exposure = r.exposure_save;
        c.series_step = kSeriesRuns;
    } else {
        exposure = static_cast<int>(std::min<int64_t>(int64_t{exposure} * kSeriesFactor, INT_MAX));
        c.series_step -= 1;
    }
}

void finish_run(Program& p, const RunContext& c) {
    RunState& r = p.run;
    GuideState& g = p.guide;
    if (r.series_exposure) {
        message50(p, "Exposure Series Completed");
        p.readout.exposure = r.exposure_save;
    }
    r.orig_avg = r.merge_x = r.merge_y = r.orig_x = r.orig_y = 0;
    g.xcent = g.old_xcent;
    g.ycent = g.old_ycent;
    if (!g.guider_guiding_standalone && !c.guider_used) {
        g.x1 = g.old_xcent;
        g.y1 = g.old_ycent;
    }
    r.first_selfguide = 1;
    r.switched_frame = 0;
    r.selfguidinghigh = 0;
    p.readout.interlaced_line = 0;
    if (g.guider_guiding) stop_external_guider(p);
}

// The run and frame loops after the set-up. False when the run was abandoned (no finish).
bool run_frames(Program& p, RunContext& c) {
    RunState& r = p.run;
    do {
        r.switched_frame = 0;
        p.readout.interlaced_line = 0;
        do {
            const FrameEnd end = take_frame(p, c);
            if (end == FrameEnd::Abandon) return false;
            if (end == FrameEnd::Finish) return true;
        } while (r.no_images >= 1);
        if (!r.end_loop) show_frame(p, c);
        if (r.continuous) {
            rearm_self_guiding(p);
            restore_picked_star(p);
        }
        if (r.series_exposure) next_series_exposure(p, c);
    } while (r.cont_work || (r.series_work && c.series_step >= 1));
    return true;
}

// Marks a camera run as in progress for as long as camera_control runs.
class RunningMark {
  public:
    explicit RunningMark(Program& p) : p_(p) { p_.run.running = true; }
    ~RunningMark() {
        p_.run.running = false;
        p_.host.set_wait_cursor(false);
    }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

  private:
    Program& p_;
};

}  // namespace

void camera_control(Program& p) {
    RunState& r = p.run;
    if (!prepare_run(p)) return;
    RunningMark running(p);
    {
        CameraDialog dialog(p);
        if (p.host.run_modal(dialog) != kIdOk) {
            dialog_closed(p);
            return;
        }
    }
    RunContext c;
    configure_run(p, c);
    if (p.settings.exposure_delay) start_delay(p);
    r.total_images = r.no_images;
    r.cont_work = r.continuous;
    r.series_work = r.series_exposure;
    r.exposure_save = p.readout.exposure;
    c.series_step = kSeriesRuns;
    if (run_frames(p, c)) finish_run(p, c);
}

void record_and_show_frame(Program& p) {
    RunState& r = p.run;
    r.end_exp = static_cast<int32_t>(p.clock.calendar_time());
    clear_history(p);
    if (p.settings.darkframe_remove && r.frame.dark_applied)
        append_history(p, "Dark Frame Subtracted");
    if (p.settings.flatfield_remove && r.frame.flat_applied) append_history(p, "Flatfield Applied");
    r.frame = FrameRecord{};
    p.host.set_wait_cursor(false);
    image_prepare(p);
    if (p.settings.auto_save_fits) quick_fits_save(p);
}

}  // namespace kvr
