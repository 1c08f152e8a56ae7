#pragma once
// Loading and saving the main image and the working images: the camera's native file (bare
// little-endian 16-bit pixels) and this program's FITS files, told apart by length.
#include <cstdint>
#include <string_view>

namespace kvr {

struct Program;

// Loads a native or FITS file into the main image and shows it. Failures are reported with
// messages 11, 41, 13 or 14 and leave the image, the readout mode and the geometry as they
// were. Returns true when the image was loaded.
bool load_kv_file(Program& p, std::string_view fileName);
// Writes the main image as a native file (messages 17 and 19 on failure).
bool save_kv_file(Program& p, std::string_view fileName);

// Outcome of loading a file into a working buffer, for the callers' result codes.
enum class FrameLoad { Loaded, CannotOpen, WrongLength, BadContent };
// Loads a native file into `native_dst` or a FITS file into `fits_dst`, only when its frame
// size is the current one (`binned`). No header global changes; the buffer changes only
// when the whole frame was read.
FrameLoad load_frame_file(Program& p, std::string_view fileName, uint16_t* native_dst,
                          uint16_t* fits_dst);
FrameLoad load_frame_bytes(const uint8_t* data, size_t length, bool binned, uint16_t* native_dst,
                           uint16_t* fits_dst);

// 0 loaded; 1 cannot open; 2 wrong length for the current frame; 12 FITS header not as
// expected or a short read.
int trial_load(Program& p, uint16_t* trialptr, uint16_t* trialintptr, std::string_view fileName);
// trial_load into `trial` with messages 11 and 12; 0 loaded, 1 failed.
int load_kv_temp_file(Program& p, std::string_view fileName);
// ComparisonFileName into the comparison buffers: 0 loaded; 11 cannot open; 12 wrong length,
// wrong frame size, foreign header or short read.
int load_comparison_file(Program& p, uint16_t* comparisonptr, uint16_t* comparisonintptr);

}  // namespace kvr
