#include "indi/exposures.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "acquire/run_steps.h"
#include "camera/camera_protocol.h"
#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "core/program.h"
#include "core/waits.h"
#include "imaging/vertical_smoothing.h"

namespace kvr::indi {

namespace {

constexpr uint32_t kLateReadMs = 20;

constexpr const char* kModeLabels[kReadoutModeCount] = {
    "Standard (qx416)", "High Res (Fast)", "High Res(Progressive)", "High Res(Interlaced)"};

// A read the worker reached late (behind a guide pulse) collected light for longer than asked:
// the header says so. A few milliseconds of scheduling are not worth a different figure.
double collected_seconds(uint32_t asked_ms, uint32_t taken_ms) {
    return (taken_ms > asked_ms + kLateReadMs ? taken_ms : asked_ms) / 1000.0;
}

void set_readout_flags(Program& p, ReadoutMode mode) {
    Readout& r = p.readout;
    r.binned = mode == ReadoutMode::Standard;
    r.binned21 = mode == ReadoutMode::HighResFast;
    r.highres_intl = mode == ReadoutMode::Progressive;
    r.highres_nonintl = mode == ReadoutMode::Interlaced;
    set_readout_geometry(p);
}

// The fast read interpolates the odd rows between their even neighbours; the last row has no
// neighbour below and would keep whatever the buffer held. A frame that leaves the driver
// repeats the row above it instead (the header says so).
void repeat_last_row(uint16_t* image) {
    const uint16_t* above = image + (kFullHeight - 2) * kFullWidth;
    std::memcpy(image + (kFullHeight - 1) * kFullWidth, above, sizeof(uint16_t) * kFullWidth);
}

void point_reads_at_image(Program& p) {
    ImagePointers& ptr = p.ptr;
    ptr.image = p.buf->image_int;
    ptr.imageptr = ptr.image;
    ptr.intimageptr = ptr.image;
    ptr.charimageptr = reinterpret_cast<uint8_t*>(ptr.image);
    ptr.undo = p.buf->undo_int;
}

// The two fields of a frame were exposed apart: even out their brightness.
void correct_fields(Program& p) {
    if (p.readout.apply_correction) venetian_blind(p, p.ptr.image, p.ptr.undo);
}

// One field (or both summed, `kFieldBoth`) into the rows of parity `line`.
bool read_field(Program& p, uint16_t field, int line) {
    Readout& r = p.readout;
    r.ccd_frame = static_cast<unsigned char>(field);
    r.interlaced_line = line;
    const bool ok = first_read(p);
    r.interlaced_line = 0;
    return ok;
}

}  // namespace

const char* readout_mode_label(ReadoutMode mode) {
    return kModeLabels[static_cast<int>(mode)];
}

bool is_binned(ReadoutMode mode) {
    return mode == ReadoutMode::Standard;
}

bool MainExposure::start(Program& p, ReadoutMode mode, const FrameWindow& window,
                         uint32_t exposure_ms) {
    Readout& r = p.readout;
    phase_ = Phase::Idle;
    r.exposure = static_cast<int>(std::min<uint32_t>(exposure_ms, INT_MAX));
    // Field 2 goes on collecting light while field 1 downloads: below the download time the
    // fields of a progressive frame would differ too much, so it is taken as two exposures.
    if (mode == ReadoutMode::Progressive && r.exposure < r.download_time)
        mode = ReadoutMode::Interlaced;
    mode_ = mode;
    window_ = window;
    set_readout_flags(p, mode);
    p.guide.selfguiding = 0;
    camera_timed_ = read_is_camera_timed(p);
    exposure_ms_ = static_cast<uint32_t>(r.exposure);
    seconds_ = r.exposure / 1000.0;
    if (!clear_vertical(p) || !wiper(p) || !echo_ccd(p)) return false;
    start_calendar_ = p.clock.calendar_time();
    arm(p, p.clock.ms());
    phase_ = Phase::Exposing;
    return true;
}

void MainExposure::arm(Program& p, uint32_t start_ms) {
    start_ms_ = start_ms;
    // A camera-timed read carries the exposure in its command: it is sent at once.
    end_ms_ = camera_timed_ ? start_ms : start_ms + static_cast<uint32_t>(p.readout.exposure);
    next_clear_ms_ = start_ms + kClearIntervalMs;
}

std::optional<uint32_t> MainExposure::due_ms() const {
    if (phase_ == Phase::Idle) return std::nullopt;
    return before(next_clear_ms_, end_ms_) ? next_clear_ms_ : end_ms_;
}

std::optional<uint32_t> MainExposure::readout_begins(uint32_t now) const {
    if (phase_ == Phase::Idle || before(next_clear_ms_, end_ms_) || before(now, end_ms_))
        return std::nullopt;
    // The interlaced mode's first read is followed by the odd rows' own exposure.
    if (mode_ == ReadoutMode::Interlaced && phase_ == Phase::Exposing) return std::nullopt;
    return camera_timed_ ? exposure_ms_ : 0;
}

StepResult MainExposure::step(Program& p) {
    const uint32_t now = p.clock.ms();
    if (before(next_clear_ms_, end_ms_)) {
        if (reached(now, next_clear_ms_)) {
            // Keeps the vertical registers clear while the host times the exposure.
            clear_vertical(p);
            next_clear_ms_ += kClearIntervalMs;
        }
        return StepResult::Waiting;
    }
    if (before(now, end_ms_)) return StepResult::Waiting;
    if (!camera_timed_) seconds_ = collected_seconds(end_ms_ - start_ms_, now - start_ms_);
    const bool second = phase_ == Phase::SecondExposure;
    phase_ = Phase::Idle;
    if (!(second ? read_second(p) : read_first(p))) return StepResult::Failed;
    if (mode_ == ReadoutMode::Interlaced && !second) {
        // The odd rows come from an exposure of their own.
        if (!clear_vertical(p) || !wiper(p)) return StepResult::Failed;
        arm(p, p.clock.ms());
        phase_ = Phase::SecondExposure;
        return StepResult::Waiting;
    }
    return StepResult::Done;
}

bool MainExposure::read_first(Program& p) {
    point_reads_at_image(p);
    window_read_ = false;
    switch (mode_) {
        case ReadoutMode::Standard:
            if (window_.whole()) return binned_read(p);
            return read_binned_window(p);
        case ReadoutMode::HighResFast:
            if (!read_field(p, kFieldBoth, 0)) return false;
            fill_binned(p.ptr.image);
            repeat_last_row(p.ptr.image);
            return true;
        case ReadoutMode::Progressive:
            if (!read_field(p, kField1, 0) || !read_field(p, kField2, 1)) return false;
            correct_fields(p);
            return true;
        case ReadoutMode::Interlaced:
            return read_field(p, kFieldBoth, 0);
    }
    return false;
}

bool MainExposure::read_second(Program& p) {
    point_reads_at_image(p);
    if (!clear_vertical(p) || !read_field(p, kField2, 1)) return false;
    correct_fields(p);
    return true;
}

bool MainExposure::read_binned_window(Program& p) {
    ReadRequest q;
    q.field = kFieldBoth;
    q.head = kHeadMain;
    q.x = static_cast<uint16_t>(window_.x);
    q.y = static_cast<uint16_t>(window_.y / 2);
    q.width = static_cast<uint16_t>(window_.width);
    q.height = static_cast<uint16_t>(window_.height / 2);
    q.bin_x = 2;
    q.delay_ms = static_cast<uint32_t>(p.readout.exposure);
    const size_t bytes = read_reply_bytes(q);
    if (!send_read_command(p, q, camera_timed_) || !receive_reply(p, bytes)) return false;
    std::memcpy(p.ptr.image, p.buf->ReportBuffer, bytes);
    window_read_ = true;
    return true;
}

void MainExposure::abort(Program& p) {
    if (phase_ == Phase::Idle) return;
    phase_ = Phase::Idle;
    wiper(p);
}

void MainExposure::copy_frame(const Program& p, uint16_t* out) const {
    const int w = frame_width();
    const int h = frame_height();
    const uint16_t* image = p.buf->image_int;
    if (window_read_) {
        std::memcpy(out, image, sizeof(uint16_t) * w * h);
        return;
    }
    const int stride = kFullWidth / bin();
    const uint16_t* src = image + (window_.y / bin()) * stride + window_.x / bin();
    for (int y = 0; y < h; ++y) std::memcpy(out + y * w, src + y * stride, sizeof(uint16_t) * w);
}

bool GuiderExposure::start(Program& p, uint32_t exposure_ms) {
    running_ = false;
    p.ptr.guider_imageptr = p.ptr.guider_image;
    p.ptr.charguiderimageptr = reinterpret_cast<uint8_t*>(p.ptr.guider_image);
    p.readout.guider_exposure = static_cast<int>(std::min<uint32_t>(exposure_ms, INT_MAX));
    if (!autoguider_clear(p)) return false;
    start_ms_ = p.clock.ms();
    end_ms_ = start_ms_ + exposure_ms;
    start_calendar_ = p.clock.calendar_time();
    running_ = true;
    return true;
}

std::optional<uint32_t> GuiderExposure::due_ms() const {
    if (!running_) return std::nullopt;
    return end_ms_;
}

StepResult GuiderExposure::step(Program& p) {
    const uint32_t now = p.clock.ms();
    if (before(now, end_ms_)) return StepResult::Waiting;
    running_ = false;
    seconds_ = collected_seconds(end_ms_ - start_ms_, now - start_ms_);
    return autoguider_read(p) ? StepResult::Done : StepResult::Failed;
}

void GuiderExposure::copy_frame(const Program& p, uint8_t* out) const {
    // The read put each sample into the high byte of its pixel.
    const uint16_t* image = p.buf->image_guider_int;
    for (int i = 0; i < kGuiderPixels; ++i) out[i] = static_cast<uint8_t>(image[i] >> 8);
}

}  // namespace kvr::indi
