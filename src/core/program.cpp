#include "core/program.h"

#include "core/block_device.h"

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
    settings.register_in(registry);
    guide.register_in(registry);
    scope.register_in(registry);
    shell.register_in(registry);
}

Program::~Program() = default;

}  // namespace kvr
