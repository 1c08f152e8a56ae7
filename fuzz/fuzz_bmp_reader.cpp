// The bitmap reader (the window's picture is loaded back through it) on arbitrary file contents.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "display/bmp_file.h"
#include "fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = kvr::fuzz::scratch_file("picture.bmp");
    kvr::Program& p = kvr::fuzz::program();
    if (!kvr::fuzz::write_whole(path, data, size)) return 0;
    kvr::BmpImage image{p.display.window.pixels[0], sizeof p.display.window.pixels[0],
                        p.display.window.colours[0]};
    kvr::read_bmp8(path, image);
    return 0;
}
