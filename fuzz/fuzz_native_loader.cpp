// The working-image loader (native and FITS files told apart by length) on arbitrary file
// contents, for both frame sizes.
#include <cstddef>
#include <cstdint>

#include "files/image_files.h"
#include "fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    for (bool binned : {true, false})
        kvr::load_frame_bytes(data, size, binned, p.ptr.trial, p.ptr.trial);
    return 0;
}
