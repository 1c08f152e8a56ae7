#include "app/program.h"

#include "app/subsystems.h"
#include "camera/block_device.h"

namespace kvr {

Program::Program(Clock& c, Host& h) : clock(c), host(h), buf(std::make_unique<Buffers>()) {
    buf->register_in(registry);
    ptr.register_in(registry);
    geo.register_in(registry);
    readout.register_in(registry);
    link.register_in(registry);
    run.register_in(registry);
    display.register_in(registry);
    processing.register_in(registry);
    measure.register_in(registry);
    settings.register_in(registry);
    guide.register_in(registry);
    scope.register_in(registry);
    shell.register_in(registry);
}

Program::~Program() = default;

std::unique_ptr<Program> make_program(Clock& clock, Host& host, std::string drive_root) {
    auto p = std::make_unique<Program>(clock, host);
    p->drive_root = std::move(drive_root);
    reset_buffer_pointers(*p);
    QX_binned(*p);
    write_startup_test_image(*p);
    declare_window_commands(p->commands);
    register_all_commands(*p);
    return p;
}

}  // namespace kvr
