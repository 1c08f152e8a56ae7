#pragma once
// Automatic dark subtraction and flat fielding of each new frame. The calibration frame is read
// once (from a native raw file or one of this program's FITS files) into its buffer and reused
// while `loaded` stays set.
#include <cstdint>
#include <string>

namespace kvr {

struct Program;

inline constexpr int kCalibrationOk = 0;
inline constexpr int kCalibrationOpenFailed = 11;
inline constexpr int kCalibrationWrongFile = 12;

// Reads a dark or flat file matching the current binning into `frame` (height1 rows of width1
// pixels). Returns 0, 11 (cannot open) or 12 (wrong size, binning, header or short read). On
// 12 the buffer may hold part of the file; callers must not use it.
int read_calibration_frame(const Program& p, const std::string& path, uint16_t* frame);

// Loads the dark frame into `read_buffer` unless `loaded`, then subtracts `dark` from `image`
// (clipped at 0). Returns 0, 11 or 12; on failure the image is left as it was.
int auto_remove(const Program& p, int loaded, const std::string& path, uint16_t* read_buffer,
                uint16_t* image, const uint16_t* dark);
// Loads the flat frame unless `loaded`, then flat-fields rows 2 … height1 − 1.
int auto_flatfield(const Program& p, int loaded, const std::string& path, uint16_t* read_buffer,
                   uint16_t* image, const uint16_t* flat);

}  // namespace kvr
