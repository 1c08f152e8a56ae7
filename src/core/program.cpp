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
    measure.register_in(registry);
    settings.register_in(registry);
    guide.register_in(registry);
    calib.register_in(registry);
    graph.register_in(registry);
    dither.register_in(registry);
    scope.register_in(registry);
    shell.register_in(registry);
    // The focus window's origin indexes the frame: it stays where a whole window fits in a
    // field.
    registry.limit("focus_x", 0, kFullWidth - kFocusWindowSize);
    registry.limit("focus_y", 0, kFieldRows - kFocusWindowSize);
    registry.limit("guider_aggressiveness", kMinAggressiveness, 100);
    registry.limit("AOUnit_bump_compensate", 0, 1);
    // Learned from guide frames: a script may seed them, within the element's travel per count.
    registry.limit("AOUnit_bump_shift_ns", 0, kAoMostBumpShift);
    registry.limit("AOUnit_bump_shift_ew", 0, kAoMostBumpShift);
}

Program::~Program() = default;

}  // namespace kvr
