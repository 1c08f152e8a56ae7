#pragma once
// The exposures of the driver, on the program's camera link: the main camera in its four readout
// modes and the guider head. Each exposure is a few steps (clear, read, a second exposure) with
// waits in between that the driver's worker spends on other jobs, so guide frames and pulses go
// on while a long exposure runs. Every step runs on the program's thread.
#include <cstdint>
#include <ctime>
#include <optional>

#include "core/image_store.h"

namespace kvr {
struct Program;
}

namespace kvr::indi {

// The camera control dialog's four readout modes, in its order.
enum class ReadoutMode { Standard, HighResFast, Progressive, Interlaced };
inline constexpr int kReadoutModeCount = 4;
// The dialog's caption of each mode.
const char* readout_mode_label(ReadoutMode mode);
bool is_binned(ReadoutMode mode);

// Part of the main frame, in full-frame pixels (752 × 580). In the binned mode every value is
// even: one binned pixel is two columns of both fields.
struct FrameWindow {
    int x = 0;
    int y = 0;
    int width = kFullWidth;
    int height = kFullHeight;
    bool whole() const { return x == 0 && y == 0 && width == kFullWidth && height == kFullHeight; }
};

enum class StepResult { Waiting, Done, Failed };

// Milliseconds between the vertical clears sent while the host times an exposure.
inline constexpr uint32_t kClearIntervalMs = 10000;

class MainExposure {
  public:
    // Clears the sensor (the light collection starts here). False when the link failed (the
    // program has said why); the exposure is then not running.
    bool start(Program& p, ReadoutMode mode, const FrameWindow& window, uint32_t exposure_ms);
    bool running() const { return phase_ != Phase::Idle; }
    // The program clock's time of the next step, while running.
    std::optional<uint32_t> due_ms() const;
    // Runs the step that is due: a vertical clear, a read or the start of the second exposure.
    StepResult step(Program& p);
    // When the step due at `now` begins the frame's last readout (the light collection ends
    // there): how long the light still falls after it, ms (a camera-timed read carries the
    // exposure, which the camera counts itself). Nothing for any other step.
    std::optional<uint32_t> readout_begins(uint32_t now) const;
    // Ends the exposure unread; the sensor is cleared so the charge goes.
    void abort(Program& p);

    // The finished frame, cropped to the window, row after row (width / bin pixels each).
    void copy_frame(const Program& p, uint16_t* out) const;
    int frame_width() const { return window_.width / bin(); }
    int frame_height() const { return window_.height / bin(); }
    int bin() const { return is_binned(mode_) ? 2 : 1; }
    // Light collected per exposure, s: as asked, or longer when the read was late.
    double seconds() const { return seconds_; }
    std::time_t start_calendar() const { return start_calendar_; }

  private:
    enum class Phase { Idle, Exposing, SecondExposure };
    bool read_first(Program& p);
    bool read_second(Program& p);
    bool read_binned_window(Program& p);
    void arm(Program& p, uint32_t start_ms);

    Phase phase_ = Phase::Idle;
    ReadoutMode mode_ = ReadoutMode::Standard;
    FrameWindow window_;
    bool window_read_ = false;  // the camera read only the window
    bool camera_timed_ = false;
    uint32_t start_ms_ = 0;
    uint32_t end_ms_ = 0;
    uint32_t next_clear_ms_ = 0;
    uint32_t exposure_ms_ = 0;
    double seconds_ = 0;
    std::time_t start_calendar_ = 0;
};

class GuiderExposure {
  public:
    // Empties the guider head (one read, two clears); the exposure starts after.
    bool start(Program& p, uint32_t exposure_ms);
    bool running() const { return running_; }
    std::optional<uint32_t> due_ms() const;
    StepResult step(Program& p);
    void abort() { running_ = false; }
    // The 8-bit samples of the whole head, 500 × 290.
    void copy_frame(const Program& p, uint8_t* out) const;
    double seconds() const { return seconds_; }
    std::time_t start_calendar() const { return start_calendar_; }

  private:
    bool running_ = false;
    uint32_t start_ms_ = 0;
    uint32_t end_ms_ = 0;
    double seconds_ = 0;
    std::time_t start_calendar_ = 0;
};

}  // namespace kvr::indi
