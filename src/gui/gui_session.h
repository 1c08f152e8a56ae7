#pragma once
// One run of the Qt front end: clock, host, program state and main frame, built in the order
// the application's start-up builds them. Needs a QApplication.
#include <functional>
#include <memory>
#include <string>

#include "core/options.h"

namespace kvr {
class Clock;
class DeviceEnumerator;
struct Program;
}  // namespace kvr

namespace kvr::gui {

class MainFrame;
class PicturePrinter;
class PressWatch;
class QtHost;

// Makes the camera interface chosen with --camera (nullptr with `error` set when unavailable).
using DeviceFactory = std::function<std::shared_ptr<DeviceEnumerator>(
    const LaunchOptions& options, Clock& clock, std::string& error)>;

class GuiSession {
  public:
    GuiSession(const LaunchOptions& options, const DeviceFactory& devices);
    ~GuiSession();
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;

    Program& program() { return *program_; }
    QtHost& host() { return *host_; }
    MainFrame& frame() { return *frame_; }
    Clock& clock() { return *clock_; }
    PicturePrinter& printer() { return *printer_; }
    // Why the chosen camera interface is not available ("" when it is).
    const std::string& device_error() const { return device_error_; }

  private:
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<PressWatch> watch_;
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<Program> program_;
    std::unique_ptr<MainFrame> frame_;
    std::unique_ptr<PicturePrinter> printer_;
    std::string device_error_;
};

// Runs the GUI until the main window closes; returns the process exit code.
int run_gui(const LaunchOptions& options, int& argc, char** argv, const DeviceFactory& devices);

// True when a window system can be reached (a display, or a Qt platform chosen explicitly).
bool display_available();

}  // namespace kvr::gui
