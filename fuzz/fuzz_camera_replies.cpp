// The handling of the camera's replies: every read of the model query, the echo, the frame,
// window and guider reads, the focus measurement and the serial pass-through, against a device
// whose replies come from the input. Each reply starts with a control byte: 0xFF fails the
// transfer, bit 7 set gives a short reply of (byte & 0x7F) bytes, otherwise the full reply is
// the following input bytes repeated (fuzz/replay_device.h). An exhausted input times out, as
// a silent camera does.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "fuzz_program.h"
#include "replay_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    kvr::fuzz::ReplayInput input(data, size);
    kvr::fuzz::connect_replay_camera(p, input);
    kvr::get_ccd_type(p);
    kvr::echo_ccd(p);
    kvr::binned_read(p);
    kvr::first_read(p);
    kvr::focus_read(p);
    kvr::camera_read(p);
    kvr::guider_camera_read(p);
    kvr::read_serial(p, 1, 33);
    kvr::check_serial_return(p, 1);
    p.BlockIOHandle.reset();
    return 0;
}
