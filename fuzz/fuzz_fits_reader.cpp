// The FITS reader on arbitrary file contents, with the frame size chosen from the length as the
// main loader chooses it.
#include <cstddef>
#include <cstdint>

#include "files/fits_file.h"
#include "fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    p.readout.binned = size < 868880 ? 1 : 0;
    kvr::set_readout_geometry(p);
    kvr::load_fits_bytes(p, data, size, p.ptr.image);
    return 0;
}
