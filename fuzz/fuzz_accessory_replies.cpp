// The handling of the accessories' answers: the mount's LX200 answers through the camera's
// serial pass-through (object information, co-ordinates accepted or refused, the go-to verdict)
// and the AO unit's replies on the PC serial port, all taken from the input
// (fuzz/replay_device.h).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/program.h"
#include "fuzz_program.h"
#include "replay_device.h"
#include "scope/ao_unit.h"
#include "scope/drive_commands.h"
#include "scope/pc_serial.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    kvr::fuzz::ReplayInput input(data, size);
    kvr::fuzz::connect_replay_camera(p, input);
    p.scope.telescope = 'l';
    kvr::get_info(p);
    kvr::move_to_coord(p, 12, 30, -45, 10, false);
    kvr::move_telescope(p, 'm', 31);
    p.scope.pc_serial = std::make_unique<kvr::fuzz::ReplaySerialPort>(input);
    p.scope.PC_Serial_check = 0;
    kvr::centralise_ao_unit(p);
    kvr::pc_serial_read(p);
    kvr::pc_serial_read(p);
    p.scope.pc_serial.reset();
    p.scope.PC_Serial_check = 0;
    p.BlockIOHandle.reset();
    return 0;
}
