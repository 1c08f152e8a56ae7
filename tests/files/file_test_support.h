#pragma once
// Helpers of the file tests: whole files as byte strings, and a test image.
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "core/program.h"

namespace kvr::test {

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Card `number` (1-based) of a FITS file's bytes.
inline std::string card(const std::string& file, int number) {
    return file.substr(static_cast<size_t>(number - 1) * 80, 80);
}

// A pattern that covers the extremes and both bytes of every pixel.
inline uint16_t pattern_pixel(size_t i) {
    switch (i) {
        case 0:
            return 0;
        case 1:
            return 65535;
        case 2:
            return 32768;
        case 3:
            return 32767;
        default:
            return static_cast<uint16_t>(i * 2654435761u >> 7);
    }
}

inline void fill_pattern(uint16_t* image, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i) image[i] = pattern_pixel(i);
}

}  // namespace kvr::test
