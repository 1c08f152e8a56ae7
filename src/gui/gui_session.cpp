#include "gui/gui_session.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "app/startup.h"
#include "app/subsystems.h"
#include "core/drive_paths.h"
#include "core/program.h"
#include "gui/main_frame.h"
#include "gui/picture_printer.h"
#include "gui/press_watch.h"
#include "gui/qt_host.h"
#include "platform/real_clock.h"
#include "platform/termios_serial_port.h"

namespace kvr::gui {

GuiSession::GuiSession(const LaunchOptions& options, const DeviceFactory& devices) {
    if (options.virtual_clock) {
        auto clock = std::make_unique<VirtualClock>();
        if (options.clock_start) clock->set_epoch(*options.clock_start);
        clock_ = std::move(clock);
    } else {
        clock_ = std::make_unique<RealClock>(options.clock_start);
    }
    watch_ = std::make_unique<PressWatch>();
    qApp->installEventFilter(watch_.get());
    host_ = std::make_unique<QtHost>(*watch_, help_file_path());
    const std::string root = options.drive_root.empty() ? default_drive_root() : options.drive_root;
    program_ = make_program(*clock_, *host_, root);
    program_->options = options;
    if (devices) program_->devices = devices(options, *clock_, device_error_);
    program_->scope.pc_serial = std::make_unique<TermiosSerialPort>();
    start_up(*program_);
    // The window's first paint shows the start-up test image.
    program_->display.prep_image = 1;
    frame_ = std::make_unique<MainFrame>(*program_, *host_);
    host_->attach(frame_.get());
    printer_ = std::make_unique<PicturePrinter>(*program_, *watch_, frame_.get());
    printer_->attach_commands();
    frame_->refresh_commands();
}

GuiSession::~GuiSession() {
    if (qApp) qApp->removeEventFilter(watch_.get());
    host_->attach(nullptr);
    printer_.reset();
    frame_.reset();
    if (program_ && !program_->exit_requested) close_camera_link(*program_);
}

bool display_available() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

int run_gui(const LaunchOptions& options, int& argc, char** argv, const DeviceFactory& devices) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kvr_q4"));
    GuiSession session(options, devices);
    if (!session.device_error().empty()) {
        std::cerr << "kvr_q4: " << session.device_error() << '\n';
        session.frame().show_status(QString::fromStdString(session.device_error()));
    }
    session.frame().show();
    return QApplication::exec();
}

}  // namespace kvr::gui
