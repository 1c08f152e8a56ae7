#include "indi/camera_worker.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>

#include "app/startup.h"
#include "camera/camera_commands.h"
#include "camera/usb_link.h"
#include "core/block_device.h"
#include "core/drive_paths.h"
#include "core/program.h"
#include "core/waits.h"
#include "headless/device_choice.h"
#include "indi/camera_claim.h"
#include "indi/driver_host.h"
#include "platform/real_clock.h"
#include "scope/drive_commands.h"
#include "scope/filter_wheel.h"

namespace kvr::indi {

namespace {

// The simulated camera's lock file in the drive root.
constexpr char kSimLockName[] = "kvr_q4_sim_camera.lock";
// The longest the worker sleeps without looking at its clock.
constexpr uint32_t kLongestSleepMs = 1000;
constexpr int kConnectTimeoutS = 30;

// An event that carries no more than the exposure it is about.
WorkerEvent exposure_event(WorkerEvent::Kind kind, unsigned serial) {
    WorkerEvent e;
    e.kind = kind;
    e.serial = serial;
    return e;
}

AccessorySettings accessory_settings(const Program& p) {
    AccessorySettings a;
    const int count = std::clamp(p.settings.Max_Filters, 1, kFilterNames);
    for (int i = 0; i < count; ++i) {
        const char* name = p.settings.Filterbox_Filter_Name[i];
        a.filter_names.emplace_back(name, strnlen(name, kFilterNameBytes));
    }
    a.current_filter = p.scope.Filterbox_Filter;
    a.telescope = p.scope.telescope;
    return a;
}

}  // namespace

CameraWorker::CameraWorker()
    : main_frame_(size_t{kFullWidth} * kFullHeight), guider_frame_(kGuiderPixels) {
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) pipe_[0] = pipe_[1] = -1;
    clock_ = std::make_unique<RealClock>();
    host_ = std::make_unique<DriverHost>([this](const std::string& text) { log(text); });
    thread_ = std::thread([this] { run(); });
}

CameraWorker::~CameraWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (program_) close_camera_link(*program_);
    for (int fd : pipe_)
        if (fd >= 0) close(fd);
}

std::vector<WorkerEvent> CameraWorker::take_events() {
    char drain[64];
    while (read(pipe_[0], drain, sizeof drain) > 0) {
    }
    std::lock_guard<std::mutex> lock(events_mutex_);
    std::vector<WorkerEvent> out;
    out.swap(events_);
    return out;
}

void CameraWorker::emit(WorkerEvent event) {
    {
        std::lock_guard<std::mutex> lock(events_mutex_);
        events_.push_back(std::move(event));
    }
    const char byte = 1;
    // A full pipe already wakes the reader.
    [[maybe_unused]] const ssize_t n = write(pipe_[1], &byte, 1);
}

void CameraWorker::log(const std::string& text) {
    WorkerEvent e;
    e.kind = WorkerEvent::Kind::Log;
    e.text = text;
    emit(std::move(e));
}

void CameraWorker::post(std::function<void()> run, bool pulse) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back({std::move(run), pulse});
    }
    wake_.notify_all();
}

void CameraWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        const bool cut = cut_pulses_;
        lock.unlock();
        const bool stopped = stop_moves(cut);
        const bool stepped = run_due_steps();
        lock.lock();
        if (stopped || stepped) continue;
        // While moves are under way only another pulse may start: any other job could block
        // (a read, a connection) past a move's stop.
        if (!jobs_.empty() && (moves_.empty() || jobs_.front().pulse)) {
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job.run();
            lock.lock();
            continue;
        }
        uint32_t sleep_ms = kLongestSleepMs;
        const uint32_t now = clock_->ms();
        if (const auto due = next_due_ms())
            sleep_ms = std::min(sleep_ms, before(now, *due) ? *due - now : 0);
        if (sleep_ms > 0) wake_.wait_for(lock, std::chrono::milliseconds(sleep_ms));
    }
    lock.unlock();
    // The mount must not go on moving after the driver has gone.
    stop_moves(true);
}

// The earliest time something is due: an exposure step, or the wheel's arrival when a filter
// report or a main exposure waits for it.
std::optional<uint32_t> CameraWorker::next_due_ms() const {
    std::optional<uint32_t> first;
    auto consider = [&first](std::optional<uint32_t> due) {
        if (due && (!first || before(*due, *first))) first = due;
    };
    // Exposure steps wait for the moves' stops.
    if (!moves_.empty()) {
        for (const Move& m : moves_) consider(m.end_ms);
        return first;
    }
    consider(main_.due_ms());
    consider(guider_.due_ms());
    if (filter_arriving_ || waiting_main_) consider(wheel_.arrival_ms(clock_->ms()));
    return first;
}

// The exposure steps whose time has come; true when one ran. None runs while a move is under way.
bool CameraWorker::run_due_steps() {
    if (!program_ || !moves_.empty()) return false;
    Program& p = *program_;
    const uint32_t now = clock_->ms();
    bool ran = false;
    const bool wheel_still = !wheel_.arrival_ms(now);
    if (filter_arriving_ && wheel_still) {
        ran = true;
        WorkerEvent e;
        e.kind = WorkerEvent::Kind::FilterDone;
        e.filter = *filter_arriving_;
        filter_arriving_.reset();
        emit(std::move(e));
    }
    if (waiting_main_ && wheel_still) {
        ran = true;
        const MainRequest r = *waiting_main_;
        waiting_main_.reset();
        begin_main(r);
    }
    return run_exposure_steps(p) || ran;
}

bool CameraWorker::run_exposure_steps(Program& p) {
    bool ran = false;
    if (main_.due_ms() && reached(clock_->ms(), *main_.due_ms())) {
        ran = true;
        if (const auto light_left = main_.readout_begins(clock_->ms())) {
            WorkerEvent e = exposure_event(WorkerEvent::Kind::MainReadout, main_serial_);
            e.light_left_ms = *light_left;
            emit(std::move(e));
        }
        const StepResult r = main_.step(p);
        if (r == StepResult::Done) {
            {
                std::lock_guard<std::mutex> lock(frames_mutex_);
                main_.copy_frame(p, main_frame_.data());
            }
            WorkerEvent e;
            e.kind = WorkerEvent::Kind::MainFrame;
            e.seconds = main_.seconds();
            e.start = main_.start_calendar();
            e.width = main_.frame_width();
            e.height = main_.frame_height();
            e.serial = main_serial_;
            emit(std::move(e));
        } else if (r == StepResult::Failed) {
            emit(exposure_event(WorkerEvent::Kind::MainFailed, main_serial_));
        }
    }
    if (guider_.due_ms() && reached(clock_->ms(), *guider_.due_ms())) {
        ran = true;
        // The head is read as soon as its time is up: its light ends now.
        emit(exposure_event(WorkerEvent::Kind::GuiderReadout, guider_serial_));
        WorkerEvent e;
        e.kind = WorkerEvent::Kind::GuiderFailed;
        e.serial = guider_serial_;
        if (guider_.step(p) == StepResult::Done) {
            {
                std::lock_guard<std::mutex> lock(frames_mutex_);
                guider_.copy_frame(p, guider_frame_.data());
            }
            e.kind = WorkerEvent::Kind::GuiderFrame;
            e.seconds = guider_.seconds();
            e.start = guider_.start_calendar();
        }
        emit(std::move(e));
    }
    return ran;
}

WorkerEvent CameraWorker::connect(const LaunchOptions& options) {
    auto done = std::make_shared<std::promise<WorkerEvent>>();
    std::future<WorkerEvent> result = done->get_future();
    post([this, options, done] { done->set_value(do_connect(options)); });
    // Discovery and the settings file take moments; a queue of pulses before it a few seconds.
    if (result.wait_for(std::chrono::seconds(kConnectTimeoutS)) != std::future_status::ready) {
        WorkerEvent e;
        e.kind = WorkerEvent::Kind::ConnectFailed;
        e.text = "the camera did not answer in time";
        return e;
    }
    return result.get();
}

WorkerEvent CameraWorker::do_connect(const LaunchOptions& options) {
    WorkerEvent e;
    e.kind = WorkerEvent::Kind::ConnectFailed;
    if (!program_) {
        const std::string root =
            options.drive_root.empty() ? default_drive_root() : options.drive_root;
        program_ = make_program(*clock_, *host_, root);
    }
    Program& p = *program_;
    p.options = options;
    if (!p.devices || camera_choice_ != options.camera) {
        close_camera_link(p);
        p.devices.reset();
        claimed_.reset();
        camera_choice_.clear();
        // The simulated observatory is this process's from its start: its lock comes first.
        sim_lock_.reset();
        if (options.camera == "sim") {
            const std::string root =
                options.drive_root.empty() ? default_drive_root() : options.drive_root;
            sim_lock_ = CameraLock::take(root, kSimLockName, e.text);
            if (!sim_lock_) return e;
        }
        std::string error;
        std::shared_ptr<DeviceEnumerator> devices = make_device_enumerator(options, *clock_, error);
        if (!devices) {
            e.text = error;
            return e;
        }
        claimed_ = std::make_shared<ClaimedEnumerator>(std::move(devices));
        p.devices = claimed_;
        camera_choice_ = options.camera;
    }
    start_up(p);
    if (!find_camera(p)) {
        e.text = claimed_->refusal().empty() ? "no camera found" : claimed_->refusal();
        return e;
    }
    e.kind = WorkerEvent::Kind::Connected;
    e.settings = accessory_settings(p);
    return e;
}

void CameraWorker::disconnect() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Nothing queued matters once the camera is let go, and the mount must stop moving now
        // rather than when a long pulse would have ended.
        jobs_.clear();
        cut_pulses_ = true;
    }
    wake_.notify_all();
    post([this] {
        waiting_main_.reset();
        filter_arriving_.reset();
        if (program_) {
            main_.abort(*program_);
            guider_.abort();
            close_camera_link(*program_);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        cut_pulses_ = false;
    });
}

void CameraWorker::start_main(unsigned serial, ReadoutMode mode, const FrameWindow& window,
                              uint32_t exposure_ms) {
    const unsigned request = ++main_requests_;
    post([this, request, r = MainRequest{serial, mode, window, exposure_ms}] {
        if (request != main_requests_) return;
        waiting_main_.reset();
        main_serial_ = r.serial;
        if (program_) main_.abort(*program_);
        // Light through a turning wheel is blocked or passes the wrong filter.
        if (wheel_.arrival_ms(clock_->ms())) {
            waiting_main_ = r;
            return;
        }
        begin_main(r);
    });
}

void CameraWorker::begin_main(const MainRequest& r) {
    const bool started = program_ && main_.start(*program_, r.mode, r.window, r.exposure_ms);
    emit(exposure_event(started ? WorkerEvent::Kind::MainStarted : WorkerEvent::Kind::MainFailed,
                        r.serial));
}

void CameraWorker::abort_main() {
    const unsigned request = ++main_requests_;
    post([this, request] {
        if (request != main_requests_) return;
        waiting_main_.reset();
        if (program_) main_.abort(*program_);
    });
}

void CameraWorker::start_guider(unsigned serial, uint32_t exposure_ms) {
    post([this, serial, exposure_ms] {
        guider_serial_ = serial;
        // The head's light starts after its clearing read.
        const bool started = program_ && guider_.start(*program_, exposure_ms);
        emit(exposure_event(
            started ? WorkerEvent::Kind::GuiderStarted : WorkerEvent::Kind::GuiderFailed, serial));
    });
}

void CameraWorker::abort_guider() {
    post([this] { guider_.abort(); });
}

void CameraWorker::pulse(char direction, uint32_t duration_ms, char drive) {
    const bool lx200 = drive == 'l';
    post(
        [this, direction, duration_ms, drive, lx200] {
            if (program_ && lx200) {
                start_move(direction, duration_ms);
                return;
            }
            if (program_) run_pulse(direction, duration_ms, drive);
            pulse_done(direction);
        },
        lx200);
}

void CameraWorker::pulse_done(char direction) {
    WorkerEvent e;
    e.kind = WorkerEvent::Kind::PulseDone;
    e.direction = direction;
    emit(std::move(e));
}

// An LX200 pulse: the rate command and the move go out now, the stop when the move's time is up
// (stop_moves). An axis moves one way at a time: a pulse on an axis still moving starts when
// that move has ended.
void CameraWorker::start_move(char direction, uint32_t duration_ms) {
    const bool dec = direction == 'n' || direction == 's';
    auto same_axis = [dec](const Move& m) {
        return (m.direction == 'n' || m.direction == 's') == dec;
    };
    while (std::any_of(moves_.begin(), moves_.end(), same_axis)) {
        // Every move is stopped on time meanwhile, the other axis's too.
        const auto first = std::min_element(
            moves_.begin(), moves_.end(),
            [](const Move& a, const Move& b) { return before(a.end_ms, b.end_ms); });
        const bool held = hold_pulse(first->end_ms);
        stop_moves(!held);
        if (!held) {
            pulse_done(direction);
            return;
        }
    }
    Program& p = *program_;
    p.scope.telescope = 'l';
    const char letter = mapped_direction(p, direction);
    if (pulse_begin(p, letter)) {
        const uint32_t end = clock_->ms() + duration_ms;
        if (pulse_move(p, letter)) {
            moves_.push_back({direction, letter, end});
            return;
        }
    }
    pulse_tail(p);
    pulse_done(direction);
}

// Stops the moves whose time is up (every one with `all`); true when one was stopped.
bool CameraWorker::stop_moves(bool all) {
    if (moves_.empty() || !program_) return false;
    Program& p = *program_;
    const uint32_t now = clock_->ms();
    bool stopped = false;
    for (auto it = moves_.begin(); it != moves_.end();) {
        if (!all && before(now, it->end_ms)) {
            ++it;
            continue;
        }
        p.scope.telescope = 'l';
        pulse_stop(p, it->letter);
        pulse_tail(p);
        pulse_done(it->direction);
        it = moves_.erase(it);
        stopped = true;
    }
    return stopped;
}

void CameraWorker::run_pulse(char direction, uint32_t duration_ms, char drive) {
    Program& p = *program_;
    p.scope.telescope = drive;
    const char letter = mapped_direction(p, direction);
    if (pulse_begin(p, letter)) {
        const uint32_t end = clock_->ms() + duration_ms;
        if (pulse_move(p, letter)) {
            hold_pulse(end);
            pulse_stop(p, letter);
        }
    }
    pulse_tail(p);
}

// Holds a pulse's move until `end_ms`; false when a disconnect cut it short.
bool CameraWorker::hold_pulse(uint32_t end_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (uint32_t now = clock_->ms(); before(now, end_ms); now = clock_->ms()) {
        if (cut_pulses_ || stopping_) return false;
        wake_.wait_for(lock, std::chrono::milliseconds(end_ms - now));
    }
    return true;
}

void CameraWorker::select_filter(int slot) {
    post([this, slot] {
        if (program_) {
            ScopeState& s = program_->scope;
            const int from = s.Filterbox_Filter;
            s.Filterbox_Filter = static_cast<uint16_t>(std::clamp(slot, 0, 0xFFFF));
            if (change_filterbox_filter(*program_)) {
                wheel_.turn(from, slot, clock_->ms());
                filter_arriving_ = slot;
                return;
            }
            s.Filterbox_Filter = static_cast<uint16_t>(from);
        }
        WorkerEvent e;
        e.kind = WorkerEvent::Kind::FilterFailed;
        e.filter = slot;
        emit(std::move(e));
    });
}

void CameraWorker::copy_main_frame(uint16_t* out, size_t pixels) {
    std::lock_guard<std::mutex> lock(frames_mutex_);
    std::memcpy(out, main_frame_.data(), std::min(pixels, main_frame_.size()) * sizeof(uint16_t));
}

void CameraWorker::copy_guider_frame(uint8_t* out, size_t pixels) {
    std::lock_guard<std::mutex> lock(frames_mutex_);
    std::memcpy(out, guider_frame_.data(), std::min(pixels, guider_frame_.size()));
}

}  // namespace kvr::indi
