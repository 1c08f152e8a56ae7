// Timing of the main camera's exposures, the countdown before a run and the pause between
// continuous frames.
#include <algorithm>
#include <cstdint>
#include <string>

#include "acquire/guiding_link.h"
#include "acquire/run_steps.h"
#include "camera/command_blocks.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/waits.h"
#include "guiding/guide_log.h"

namespace kvr {

namespace {

// The camera times full-width reads below 1001 ms and binned reads below 1000 ms.
constexpr int kFullWidthCameraTimedBelow = 1001;
constexpr int kBinnedCameraTimedBelow = 1000;
constexpr int kPauseSteps = 16;
constexpr uint32_t kMsPerMinute = 60000;

uint32_t step_interval(int exposure, int steps) {
    return static_cast<uint32_t>(std::max(1, exposure / std::max(1, steps)));
}

}  // namespace

bool clear_vertical_in_wait(Program& p) {
    clear_vertical(p);
    return true;  // a failed clear is seen at the read
}

bool read_is_camera_timed(const Program& p) {
    const int below = p.readout.binned ? kBinnedCameraTimedBelow : kFullWidthCameraTimedBelow;
    return p.readout.exposure < below;
}

void show_progress(Program& p, RunContext& c) {
    if (c.progress_shown) return;
    c.progress_shown = true;
    p.shell.changecaption = 0;
    progress_open(p);
}

void update_progress(Program& p, const RunContext& c) {
    if (c.progress_shown) refresh_progress(p);
}

void close_progress(Program& p, RunContext& c) {
    if (!c.progress_shown) return;
    c.progress_shown = false;
    progress_close(p);
}

void set_caption_with_count(Program& p, const char* caption, int frames_left) {
    std::string text = caption;
    if (frames_left >= 2) text += " (Left - " + std::to_string(frames_left) + ")";
    set_progress_caption(p, text);
}

void start_delay(Program& p) {
    const int seconds = p.settings.pause_secs;
    if (seconds < 1) return;
    RunContext window;
    p.shell.progress = 0;
    for (int i = 0; i < seconds; ++i) {
        set_progress_caption(p, "EXPOSURE DELAY (Left - " + std::to_string(seconds - i) + ")");
        if (i == 0)
            show_progress(p, window);
        else
            update_progress(p, window);
        one_sec_delay(p, 1);
        p.shell.progress += 255 / seconds;
        p.host.beep();
    }
    close_progress(p, window);
}

namespace {

// End of an exposure: the external guider goes on through the run's further frames (the further
// exposures of a series too, which went unguided when it stopped after the first), else stops. A
// self-guided exposure's guiding session ends with it.
void end_of_exposure(Program& p, RunContext& c) {
    RunState& r = p.run;
    GuideState& g = p.guide;
    guide_log_end_if(p, GuidePath::SelfGuide);
    if (r.cont_work || r.no_images >= 2 || (r.series_work && c.series_step > 1)) {
        if (r.selfguiding_darkframe) r.selfguidingframes = r.darkframes;
        return;
    }
    // The guider stops with the run's last exposure.
    const bool guider_was_running = c.guider_started;
    c.guider_started = false;
    g.guider_guiding = 0;
    if (guider_was_running) stop_external_guider(p);
    if (r.selfguiding_darkframe) r.selfguidingframes = r.darkframes;
}

// One pass of self-guiding in the wait: the frame switch at half time, then a guide window (a
// matching dark frame reads only half of its frames). False when the star was lost.
bool self_guide_pass(Program& p, RunContext& c) {
    RunState& r = p.run;
    Readout& ro = p.readout;
    if (r.switch_frame && !r.switched_frame && reached(ro.ticks, c.half_time)) {
        switch_self_guide_frame(p);
        p.shell.progress = kProgressMax / 2;
        ro.endticks = p.clock.ms() + static_cast<uint32_t>(ro.exposure / 2);
        if (r.selfguiding_darkframe) r.selfguidingframes = 0;
        r.switching = 0;
    }
    if (r.selfguiding_darkframe && r.selfguidingframes >= r.darkframes / 2) return true;
    if (!self_guide_step(p)) return false;
    r.selfguidingframes += 1;
    return true;
}

// The star of a self-guided exposure was lost: the exposure ends unread and the run finishes.
void self_guide_lost(Program& p, RunContext& c) {
    guide_log_end_if(p, GuidePath::SelfGuide);
    // The window keeps the frame on which the star was lost.
    info_stopped(p);
    close_progress(p, c);
    p.run.end_loop = 1;
    messages(p, Msg::SelfGuideLostStar);
}

}  // namespace

void host_timed_wait(Program& p, RunContext& c) {
    Readout& r = p.readout;
    RunState& run = p.run;
    GuideState& g = p.guide;
    if (p.settings.display_exposure) show_progress(p, c);
    r.ticks = p.clock.ms();
    // An exposure the camera times itself is not waited for twice.
    const int wait_ms = read_is_camera_timed(p) ? 0 : r.exposure;
    r.endticks = r.ticks + static_cast<uint32_t>(std::max(0, wait_ms));
    const uint32_t first_field_mark =
        r.ticks + static_cast<uint32_t>(r.download_time + r.download_time / 50);
    c.half_time = r.ticks + static_cast<uint32_t>(r.exposure / 2);

    if (g.guider_guiding && !c.guider_started) {
        if (!start_external_guider(p)) {
            // The run cannot be guided: it ends with this exposure, which is not read.
            run.continuous = 0;
            run.end_loop = 1;
            run.cont_work = 0;
            run.series_work = 0;
            run.no_images = 1;
            end_of_exposure(p, c);
            return;
        }
        c.guider_started = true;
        c.guider_used = true;
    }

    WaitOptions o;
    // Guide frames take their own time on the clock: the wait sleeps only when none was taken.
    o.each_pass = [&c](Program& q) {
        const GuideState& gs = q.guide;
        if ((gs.guider_guiding || gs.guider_guiding_standalone) && !external_guider_step(q))
            q.readout.endticks = q.readout.ticks;
        if (q.guide.selfguiding && !self_guide_pass(q, c)) {
            c.self_guide_lost = true;
            q.readout.endticks = q.readout.ticks;
        }
    };
    if (r.highres_intl && c.first_field_armed) o.beep_at = first_field_mark;
    o.clear = clear_vertical_in_wait;
    o.clear_every_ms = kVerticalClearIntervalMs;
    o.step_ms = step_interval(r.exposure, c.steps);
    o.steps = c.steps;
    o.on_step = [&c](Program& q) {
        if (q.settings.display_exposure) update_progress(q, c);
    };
    if (timed_wait(p, r.ticks, r.endticks, o).beeped) c.first_field_armed = false;
    if (c.self_guide_lost) {
        self_guide_lost(p, c);
        return;
    }
    end_of_exposure(p, c);
}

void short_unit_wait(Program& p) {
    Readout& r = p.readout;
    if (read_is_camera_timed(p)) return;
    r.ticks = p.clock.ms();
    r.endticks = r.ticks + static_cast<uint32_t>(r.exposure);
    // Blocks without pumping: a key press here is seen at the next stop detection.
    WaitOptions o;
    o.presses = WaitPresses::Unseen;
    o.blocks = true;
    o.clear = clear_vertical_in_wait;
    o.clear_every_ms = kVerticalClearIntervalMs;
    timed_wait(p, r.ticks, r.endticks, o);
}

bool continuous_pause(Program& p, RunContext& c) {
    Readout& r = p.readout;
    const uint32_t pause = static_cast<uint32_t>(
        std::clamp<int64_t>(int64_t{p.settings.continuous_delay} * kMsPerMinute, 0, INT32_MAX));
    set_progress_caption(p, "Pause between exposures");
    p.shell.progress = 0;
    show_progress(p, c);
    r.ticks = p.clock.ms();
    r.endticks = r.ticks + pause;
    WaitOptions o;
    o.step_ms = std::max<uint32_t>(1, pause / kPauseSteps);
    o.steps = kPauseSteps;
    o.on_step = [&c](Program& q) { update_progress(q, c); };
    const bool stopped = timed_wait(p, r.ticks, r.endticks, o).stopped;
    close_progress(p, c);
    return stopped;
}

}  // namespace kvr
