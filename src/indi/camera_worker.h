#pragma once
// The program behind the INDI driver, on a thread of its own: the core runs on one thread and
// its camera transfers and guide pulses block, while the driver's event loop must stay free to
// answer clients. The driver posts jobs; the worker runs them in order, and between them the
// steps of the exposures that are due (so guide frames and pulses go on during a long main
// exposure). What happened comes back as events, announced by a byte on event_fd() for the
// driver's event loop; finished frames wait in buffers allocated once.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/options.h"
#include "indi/exposures.h"
#include "indi/wheel_travel.h"

namespace kvr {
struct Program;
class Clock;
}  // namespace kvr

namespace kvr::indi {

class CameraLock;
class ClaimedEnumerator;
class DriverHost;

// What the settings file says about the accessories, read at connection.
struct AccessorySettings {
    std::vector<std::string> filter_names;  // `Max_Filters` of `Filterbox_Filter_Name`
    int current_filter = 1;
    char telescope = 'n';  // `telescope`: 'l' LX200 on a camera port, 'b' relay box, 'n' none
};

struct WorkerEvent {
    enum class Kind {
        Connected,
        ConnectFailed,
        MainStarted,
        MainReadout,
        MainFrame,
        MainFailed,
        GuiderStarted,
        GuiderReadout,
        GuiderFrame,
        GuiderFailed,
        PulseDone,
        FilterDone,
        FilterFailed,
        Log,
    };
    Kind kind = Kind::Log;
    std::string text;  // Log, ConnectFailed
    double seconds = 0;
    std::time_t start = 0;
    // MainReadout, GuiderReadout: the light collection ends this long after the event (the
    // camera times a short exposure itself) and the frame's readout begins.
    uint32_t light_left_ms = 0;
    int width = 0;  // MainFrame
    int height = 0;
    unsigned serial = 0;  // Main…, GuiderFrame, GuiderFailed: the exposure's
    char direction = 0;   // PulseDone: 'n', 's', 'e', 'w'
    int filter = 0;       // FilterDone, FilterFailed
    AccessorySettings settings;
};

class CameraWorker {
  public:
    CameraWorker();
    ~CameraWorker();
    CameraWorker(const CameraWorker&) = delete;
    CameraWorker& operator=(const CameraWorker&) = delete;

    // Readable when events are waiting; read it empty, then take_events().
    int event_fd() const { return pipe_[0]; }
    std::vector<WorkerEvent> take_events();

    // The camera of `options` (simulated or USB), with the settings file of its drive root:
    // Connected or ConnectFailed, waited for.
    WorkerEvent connect(const LaunchOptions& options);
    // Lets the camera go: a pulse in progress stops at once and the jobs still queued are
    // dropped.
    void disconnect();
    // Exposures carry a serial number that their events repeat, so an event of an exposure the
    // driver has given up is recognised. A main exposure starts once the filter wheel has
    // stopped; a later start or an abort supersedes one still queued, which then never runs.
    void start_main(unsigned serial, ReadoutMode mode, const FrameWindow& window,
                    uint32_t exposure_ms);
    void abort_main();
    void start_guider(unsigned serial, uint32_t exposure_ms);
    void abort_guider();
    // A guide pulse: `direction` n, s, e or w, through the relay box (`drive` 'b') or as LX200
    // commands to the mount on a camera serial port ('l'). LX200 pulses on the two axes run at
    // once: a pulse's move is started and the worker goes on to the next pulse while it lasts
    // (nothing that could block past its stop runs meanwhile). Box pulses run one at a time.
    void pulse(char direction, uint32_t duration_ms, char drive);
    // FilterDone comes when the wheel can have arrived, FilterFailed when nothing was sent.
    void select_filter(int slot);

    // The frames of the last MainFrame / GuiderFrame events.
    void copy_main_frame(uint16_t* out, size_t pixels);
    void copy_guider_frame(uint8_t* out, size_t pixels);

  private:
    struct Job {
        std::function<void()> run;
        bool pulse = false;  // may start while LX200 moves are under way
    };
    // An LX200 pulse's move under way: its stop is due at `end_ms`.
    struct Move {
        char direction = 0;  // as asked: n, s, e, w
        char letter = 0;     // as sent, through the direction map
        uint32_t end_ms = 0;
    };
    struct MainRequest {
        unsigned serial = 0;
        ReadoutMode mode = ReadoutMode::Standard;
        FrameWindow window;
        uint32_t exposure_ms = 0;
    };
    void post(std::function<void()> run, bool pulse = false);
    void emit(WorkerEvent event);
    void log(const std::string& text);
    void run();
    bool run_due_steps();
    bool run_exposure_steps(Program& p);
    bool stop_moves(bool all);
    std::optional<uint32_t> next_due_ms() const;
    WorkerEvent do_connect(const LaunchOptions& options);
    void begin_main(const MainRequest& r);
    void run_pulse(char direction, uint32_t duration_ms, char drive);
    void start_move(char direction, uint32_t duration_ms);
    void pulse_done(char direction);
    bool hold_pulse(uint32_t end_ms);

    std::unique_ptr<Clock> clock_;
    std::unique_ptr<DriverHost> host_;
    // Released after the program (and the observatory it holds) has gone.
    std::unique_ptr<CameraLock> sim_lock_;  // while the simulated observatory is this process's
    std::shared_ptr<ClaimedEnumerator> claimed_;
    std::unique_ptr<Program> program_;
    std::string camera_choice_;  // "sim" or "usb" of the open device list
    MainExposure main_;
    GuiderExposure guider_;
    unsigned main_serial_ = 0;
    unsigned guider_serial_ = 0;
    // Counts main starts and aborts as the driver asks for them: a queued one that is no longer
    // the latest has been superseded.
    std::atomic<unsigned> main_requests_{0};
    // A main exposure asked for while the wheel turns, started when it stops.
    std::optional<MainRequest> waiting_main_;
    WheelTravel wheel_;
    std::optional<int> filter_arriving_;  // the slot whose FilterDone is due at the arrival
    std::vector<Move> moves_;             // LX200 pulses under way, on the worker's thread only

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    bool cut_pulses_ = false;  // a disconnect is on its way: no pulse goes on

    std::mutex events_mutex_;
    std::vector<WorkerEvent> events_;
    int pipe_[2] = {-1, -1};

    std::mutex frames_mutex_;
    std::vector<uint16_t> main_frame_;
    std::vector<uint8_t> guider_frame_;

    std::thread thread_;
};

}  // namespace kvr::indi
