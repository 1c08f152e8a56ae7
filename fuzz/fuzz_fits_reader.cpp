// The FITS reader on arbitrary file contents, with the frame size chosen from the file's kind as
// the main loader chooses it (its length, or the keywords of a FITS image of another length).
#include <cstddef>
#include <cstdint>

#include "files/fits_file.h"
#include "files/image_file_kinds.h"
#include "fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    const kvr::ImageFileKind kind = kvr::image_file_kind(size, data, size);
    p.readout.binned = kind == kvr::ImageFileKind::Unknown ? size < 868880 : kvr::is_binned(kind);
    kvr::set_readout_geometry(p);
    kvr::load_fits_bytes(p, data, size, p.ptr.image);
    return 0;
}
