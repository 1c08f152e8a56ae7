#pragma once
// Uncompressed grey-scale TIFF export of the 16-bit image, in 16 or 8 bits per sample.
#include <cstdint>
#include <string>

namespace kvr {

struct Program;

// Writes the frame (376 × 290 when `binned`, else 752 × 580) from `fredptr` to `path`: 16-bit
// samples when `tifswitch` is set, else the high byte of each pixel. Any existing file is replaced.
// Returns 0 when written, 1 on any failure (what was written stays).
int save_tif_file(const Program& p, const std::string& path, const uint16_t* fredptr,
                  int tifswitch);
// "Save as Tiff file...": the save dialog, then save_tif_file (message 22 on failure).
void tif_save(Program& p);

}  // namespace kvr
