// The read phase: turns a timed exposure into a finished frame in `image` (the reads of the
// readout mode, interpolated rows, field correction, dark and flat calibration, slew-and-sum).
#include <algorithm>

#include "acquire/calibration.h"
#include "acquire/guiding_link.h"
#include "acquire/run_steps.h"
#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "core/messages.h"
#include "core/program.h"
#include "guiding/accumulate.h"
#include "imaging/arithmetic.h"
#include "imaging/vertical_smoothing.h"

namespace kvr {

namespace {

// Exposures from this long are waited for before the second exposure's read (shorter ones are
// timed by the camera).
constexpr int kHostTimedFrom = 1001;

bool short_unit(const Program& p) {
    const char range = p.run.exp_range;
    return range == 'q' || range == 'h' || range == 't';
}

void point_reads_at_image(Program& p) {
    p.ptr.charimageptr = reinterpret_cast<uint8_t*>(p.ptr.image);
    p.ptr.intimageptr = p.ptr.image;
}

// Field correction after a two-field frame. Its undo copy goes to `undo`, which holds the run's
// dark frame: the dark is read again before it is next used.
void correct_fields(Program& p) {
    if (!p.readout.apply_correction) return;
    venetian_blind(p, p.ptr.imageptr, p.ptr.undo);
    if (p.ptr.undo == p.buf->undo_int) p.run.darkframe_loaded = 0;
}

// The odd rows: with the first field held back, both fields are placed together once this one
// has arrived whole.
bool read_odd_rows(Program& p, bool first_field_held) {
    return first_field_held ? second_field(p) : first_read(p);
}

// Field 2 of an interlaced frame into the odd rows.
bool read_second_field(Program& p, const RunContext& c, bool first_field_held) {
    Readout& r = p.readout;
    set_progress_caption(p, "READ QX CAMERA - Interlaced");
    r.ccd_frame = 2;
    update_progress(p, c);
    p.shell.progress = 0;
    r.interlaced_line = 1;
    const bool ok = read_odd_rows(p, first_field_held);
    r.interlaced_line = 0;
    p.ptr.imageptr = p.ptr.image;
    p.ptr.image = p.buf->image_int;
    return ok;
}

// The second exposure of a non-interlaced frame, read into the odd rows. False when a stop
// came before its read or the read failed.
bool second_exposure(Program& p, RunContext& c, bool first_field_held) {
    Readout& r = p.readout;
    RunState& run = p.run;
    r.ccd_frame = 3;
    clear_vertical(p);
    wiper(p);
    r.ticks = p.clock.ms();
    r.endticks = r.ticks + static_cast<uint32_t>(r.exposure);
    if (!short_unit(p)) {
        p.shell.progress = 0;
        set_progress_caption(p, "SECOND EXPOSURE");
        if (p.settings.display_exposure) update_progress(p, c);
    }
    if (r.exposure >= kHostTimedFrom) {
        WaitOptions o;
        if (!short_unit(p)) {
            o.each_pass = [](Program& q) {
                GuideState& gs = q.guide;
                if ((gs.guider_guiding || gs.guider_guiding_standalone) &&
                    !external_guider_step(q)) {
                    q.readout.endticks = q.clock.ms();
                    gs.guider_guiding_standalone = 0;
                }
            };
            o.clear = clear_vertical_in_wait;
            o.clear_every_ms = kVerticalClearIntervalMs;
            o.step_ms = static_cast<uint32_t>(std::max(1, r.exposure / c.steps));
            o.steps = c.steps;
            o.on_step = [&c](Program& q) {
                if (q.settings.display_exposure) update_progress(q, c);
            };
        }
        timed_wait(p, r.ticks, r.endticks, o);
    }
    bool ok = false;
    if (!run.end_loop) {
        set_progress_caption(p, "READ QX CAMERA - Interlaced(2nd Exposure)");
        update_progress(p, c);
        clear_vertical(p);
        r.ccd_frame = 2;
        p.shell.progress = 0;
        r.interlaced_line = 1;
        point_reads_at_image(p);
        ok = read_odd_rows(p, first_field_held);
    }
    r.interlaced_line = 0;
    p.ptr.imageptr = p.ptr.image;
    p.ptr.image = p.buf->image_int;
    return ok;
}

// The outcome of one calibration: its message when the file could not be used (the frame stays
// as it was), else the frame is calibrated and the file stays loaded for the run.
void record_calibration(Program& p, int result, Msg open_failed_message, Msg wrong_file_message,
                        int& loaded, bool& applied) {
    if (result == kCalibrationOpenFailed) {
        messages(p, open_failed_message);
    } else if (result == kCalibrationWrongFile) {
        messages(p, wrong_file_message);
    } else {
        loaded = 1;
        applied = true;
    }
}

// Dark subtraction and flat fielding of the frame at `imageptr`. The calibration frames stay
// loaded for the rest of the run; one that cannot be read is tried again on the next frame.
void calibrate(Program& p) {
    RunState& run = p.run;
    SettingsState& s = p.settings;
    ImagePointers& ptr = p.ptr;
    if (s.darkframe_remove) {
        ptr.image = p.buf->image_int;
        ptr.undo = p.buf->undo_int;
        const int result =
            auto_remove(p, run.darkframe_loaded, s.DarkFileName, ptr.undo, ptr.imageptr, ptr.undo);
        record_calibration(p, result, Msg::DarkOpenFailed, Msg::DarkNotQx, run.darkframe_loaded,
                           run.frame.dark_applied);
    }
    if (s.flatfield_remove) {
        ptr.image = p.buf->image_int;
        ptr.save = p.buf->save_int;
        const int result = auto_flatfield(p, run.flatfield_loaded, s.FlatFileName, ptr.save,
                                          ptr.imageptr, ptr.save);
        record_calibration(p, result, Msg::FlatOpenFailed, Msg::FlatNotQx, run.flatfield_loaded,
                           run.frame.flat_applied);
    }
    ptr.image = p.buf->image_int;
}

// Slew-and-sum of a multi-frame run; a frame that cannot be registered ends the run after it.
void accumulate(Program& p, const RunContext& c) {
    RunState& r = p.run;
    if (!frames_are_summed(p, c)) return;
    const int result = run_accumulation_method(p).add(p, p.ptr.image, p.ptr.trial);
    if (result == kAccumulateRejected) {
        // The image is the sum without this frame, and so is its exposure.
        p.settings.FITS_Exptime -= p.readout.exposure / 1000.0;
        r.no_images = 1;
        messages(p, Msg::GuideStarLost);
    } else if (result == kAccumulateNoReference) {
        r.no_images = 1;
        messages(p, Msg::NoGuideStar);
    }
}

// Field selector of the first read; a self-guided frame gives up its guide field.
void select_field(Program& p) {
    Readout& r = p.readout;
    RunState& run = p.run;
    GuideState& g = p.guide;
    if (!g.selfguiding) {
        r.ccd_frame = r.highres_intl ? 1 : 3;
        return;
    }
    r.ccd_frame = run.switch_frame ? 2 : 1;
    g.tracking = 0;
    g.selfguiding = 0;
    if (run.selfguidinghigh) {
        r.binned = 0;
        run.highres21_selfguide = run.selfguiding21;
    } else {
        run.highres21_selfguide = 0;
    }
    info_stopped(p);
    p.host.repaint();
    run.selfguiding_darkframe = 0;
}

// Reads every field of the frame and puts the rows together. False when the frame is not whole.
bool read_frame(Program& p, RunContext& c) {
    Readout& r = p.readout;
    RunState& run = p.run;
    point_reads_at_image(p);
    const bool guide_field_first = run.switch_frame && run.selfguidinghigh;
    const bool interlaced = r.highres_intl && !run.highres21_selfguide && !run.switch_frame;
    const bool exposed_twice =
        r.highres_nonintl && !run.highres21_selfguide && !run.selfguidinghigh;
    // A frame of two fields keeps its first one aside until the second has arrived, so a failed
    // second read leaves the previous image whole.
    const bool hold_first = !r.binned && (interlaced || exposed_twice);
    if (guide_field_first) r.interlaced_line = 1;
    const bool ok = r.binned ? binned_read(p) : hold_first ? hold_first_field(p) : first_read(p);
    if (guide_field_first) r.interlaced_line = 0;
    if (!ok) return false;

    if (interlaced) {
        if (!read_second_field(p, c, hold_first)) return false;
        correct_fields(p);
    }
    if (exposed_twice) {
        if (!second_exposure(p, c, hold_first)) return false;
        correct_fields(p);
    }
    if (guide_field_first) {
        run.switch_frame = 0;
        do_add_image(p.geo, p.ptr.image, p.ptr.trial, false);
        correct_fields(p);
    }
    return true;
}

}  // namespace

bool frames_are_summed(const Program& p, const RunContext& c) {
    return c.multiple_frames && !p.run.continuous && !p.run.last_selfguided;
}

bool read_phase(Program& p, RunContext& c) {
    Readout& r = p.readout;
    RunState& run = p.run;
    run.frame = FrameRecord{};

    if (run.no_images >= 2)
        set_caption_with_count(p, "READ QX CAMERA", run.no_images);
    else
        set_progress_caption(p, r.binned ? "READ QX CAMERA - takes 1 - 2 seconds"
                                         : "READ QX CAMERA - takes 3 - 4 seconds");
    if (p.settings.display_exposure) update_progress(p, c);

    select_field(p);
    if (short_unit(p) && p.settings.display_exposure) show_progress(p, c);
    p.shell.progress = 0;

    const bool whole = read_frame(p, c);
    p.guide.selfguiding = 0;
    if (whole && (r.binned21 || run.highres21_selfguide)) {
        p.ptr.imageptr = p.ptr.image;
        p.ptr.image = p.buf->image_int;
        fill_binned(p.ptr.imageptr);
    }
    run.highres21_selfguide = 0;
    clear_messages(p);
    p.ptr.imageptr = p.ptr.image;
    p.ptr.image = p.buf->image_int;
    if (!whole) return false;

    calibrate(p);
    accumulate(p, c);
    return true;
}

}  // namespace kvr
