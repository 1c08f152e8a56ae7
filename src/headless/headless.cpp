#include "headless/headless.h"

#include <fstream>
#include <iostream>
#include <memory>

#include "app/script_host.h"
#include "app/script_runner.h"
#include "app/startup.h"
#include "app/subsystems.h"
#include "core/drive_paths.h"
#include "core/program.h"
#include "headless/device_choice.h"
#include "platform/real_clock.h"
#include "platform/termios_serial_port.h"

namespace kvr {

int run_headless(const LaunchOptions& options) {
    std::unique_ptr<Clock> clock;
    VirtualClock* virtual_clock = nullptr;
    if (options.virtual_clock) {
        auto v = std::make_unique<VirtualClock>();
        if (options.clock_start) v->set_epoch(*options.clock_start);
        virtual_clock = v.get();
        clock = std::move(v);
    } else {
        clock = std::make_unique<RealClock>(options.clock_start);
    }
    ScriptHost host(std::cout, *clock, virtual_clock);
    host.set_show_progress(options.show_progress);
    host.set_help_path(help_file_path());
    const std::string root = options.drive_root.empty() ? default_drive_root() : options.drive_root;
    auto program = make_program(*clock, host, root);
    program->options = options;
    std::string device_error;
    program->devices = make_device_enumerator(options, *clock, device_error);
    if (!program->devices) std::cerr << "kvr_q4: " << device_error << '\n';
    program->scope.pc_serial = std::make_unique<TermiosSerialPort>();
    start_up(*program);

    ScriptRunner runner(*program, host, std::cout);
    std::optional<ScriptError> error;
    if (options.script_path.empty()) {
        error = runner.run(std::cin);
    } else {
        std::ifstream in(options.script_path);
        if (!in) {
            std::cerr << "kvr_q4: cannot open script " << options.script_path << '\n';
            return 2;
        }
        error = runner.run(in);
    }
    std::cout.flush();
    for (const auto& unused : host.unconsumed_input()) std::cerr << "kvr_q4: " << unused << '\n';
    if (error) {
        std::cerr << "kvr_q4: script line " << error->line << ": " << error->text << '\n';
        return 2;
    }
    close_camera_link(*program);
    if (options.strict_messages && host.numbered_messages() > 0) {
        std::cerr << "kvr_q4: " << host.numbered_messages() << " numbered message(s) shown\n";
        return 1;
    }
    return 0;
}

}  // namespace kvr
