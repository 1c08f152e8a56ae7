#pragma once
// The steps of one camera run, shared by the sequencer's files. RunContext holds the locals of
// one run (camera_control); every step takes it with the Program.
#include <cstdint>

#include "core/waits.h"

namespace kvr {

struct Program;

// Milliseconds between the vertical clears sent while the host times an exposure.
inline constexpr uint32_t kVerticalClearIntervalMs = 10000;

struct RunContext {
    int series_step = 5;           // counts the five runs of an exposure series down
    int steps = 2;                 // progress steps per exposure
    bool multiple_frames = false;  // started with no_images of 2 or more
    bool frame_shown = false;
    // The last read phase delivered a whole new frame into `image`; nothing else is shown or
    // saved as a new frame.
    bool frame_ready = false;
    bool first_field_armed = false;  // the interlaced first-field beep is still to come
    bool guider_started = false;     // external guider started in this run
    bool guider_used = false;
    bool progress_shown = false;
    bool sum_started = false;      // the first frame of a summed run has started
    bool self_guide_lost = false;  // the self-guide star was lost: the run finishes at once
    uint32_t half_time = 0;
    int frames_taken = 0;  // exposures of the run read so far (dithering counts them)
    // The guide reference before the run's first dither (guider pixels): later dithers stay near.
    bool dither_origin_set = false;
    double dither_origin_x = 0, dither_origin_y = 0;
};

// The vertical clear of a host-timed exposure wait; it never ends the wait (a failed clear is seen
// at the read).
bool clear_vertical_in_wait(Program& p);

// Frames of this run are added into one image (a numbered run without continuous mode or
// self-guiding): that image carries the total exposure of its frames and the first one's start.
bool frames_are_summed(const Program& p, const RunContext& c);

// The read after an exposure is timed by the camera (command 2) when the exposure is short: the
// host must not wait for it as well.
bool read_is_camera_timed(const Program& p);

// Progress window: shown once per frame, updated and closed only when shown.
void show_progress(Program& p, RunContext& c);
void update_progress(Program& p, const RunContext& c);
void close_progress(Program& p, RunContext& c);
// Progress caption with " (Left - n)" appended when n is 2 or more.
void set_caption_with_count(Program& p, const char* caption, int frames_left);

// Countdown before the run ("EXPOSURE DELAY (Left - n)"), one second a step.
void start_delay(Program& p);
// The host-timed wait of the 's' and 'm' units: vertical clears every 10 s, progress steps, the
// first-field beep of interlaced frames, stop detection, the external guider. Ends with the end
// of exposure (the guider kept or stopped).
void host_timed_wait(Program& p, RunContext& c);
// The 'q', 'h', 't' units: exposures the camera does not time are waited for here without looking
// at the keyboard or mouse (vertical clears every 10 s).
void short_unit_wait(Program& p);
// The pause between continuous frames: `continuous_delay` minutes in 16 progress steps. True
// when a key or mouse press stopped it.
bool continuous_pause(Program& p, RunContext& c);

// The read phase of one exposure. True when a whole new frame is in `image`: false when the run
// was stopped before a read, or a read failed (the frame is dropped).
bool read_phase(Program& p, RunContext& c);

}  // namespace kvr
