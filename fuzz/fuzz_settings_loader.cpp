// The settings loader on arbitrary file contents (a plausibility stop rewrites the file in the
// fuzzing run's own drive root).
#include <cstddef>
#include <cstdint>

#include "files/settings_file.h"
#include "fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    kvr::load_settings_bytes(p, data, size, p.settings.ini_file);
    return 0;
}
