#pragma once
// FITS files in this program's own fixed layout: 72 header cards (45 used, 27 blank), the
// frame as 16-bit big-endian words or 8-bit high bytes, and a zero tail. The reader takes each
// value of such a file from a fixed card and fixed columns; any other FITS image of a frame
// size the buffers hold is read by keyword instead (files/fits_keywords.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/image_store.h"

namespace kvr {

struct Program;

// Header texts of one save, in the writer's argument order.
struct FitsTexts {
    const char* obj;
    const char* obs;
    const char* date;
    const char* tel;
    const char* ins;
    const char* com;
    const char* his;
};

// Writes `fredptr` (the frame of the size `binned` selects) as a FITS file. ORIGIN, TIME-OBS,
// FILTER and the numbers come from the globals. Returns 0, or 1 when the file could not be
// created or fully written.
int save_fits_file(Program& p, std::string_view fileTitle, const uint16_t* fredptr,
                   const FitsTexts& texts, int eightbit);
// The same with the header globals, as every command calls it.
int save_fits_file(Program& p, std::string_view fileTitle, const uint16_t* fredptr, int eightbit);
// The header globals as the writer's texts.
FitsTexts header_texts(const Program& p);
// The whole file save_fits_file writes, built in the image-file buffer (p.buf->image_file);
// returns its length in bytes.
size_t build_fits_file(Program& p, const uint16_t* fredptr, const FitsTexts& texts, int eightbit);
// Creates the auto-save folder when it is missing (one level); a failure shows in the write.
void make_auto_save_folder(const Program& p);

// Reads a FITS file into `fredptr` and the header globals. The caller has set `binned` from the
// file's kind (image_file_kind). Returns 0, 1 when the file cannot be read or is short, 2 when
// its header is neither this program's 16-bit layout nor a FITS image of that frame size. The
// header
// and the length are checked before a pixel is written, so a refused file leaves the image as
// it was; only a file cut short by another program while it is being read leaves it part new.
int load_fits_file(Program& p, std::string_view fileTitle, int oldfile, uint16_t* fredptr);
// The same on an open file of `length` bytes.
int read_fits_frame(Program& p, int fd, uint64_t length, uint16_t* fredptr);
// load_fits_file on a file already in memory.
int load_fits_bytes(Program& p, const uint8_t* data, size_t length, uint16_t* fredptr);
// The header part of a load (the first `header_bytes` of a file of `length` bytes): the globals
// and the coding and pixel count of the data.
struct FitsCoding;
int load_fits_header(Program& p, const uint8_t* header, size_t header_bytes, uint64_t length,
                     FitsCoding& coding, size_t& pixels);

// Empties the image's header texts and processing history before another image is loaded.
void clear_fits_info(Program& p);

// How a file's stored words become pixels: this program's layout adds `offset` (0 or 32768)
// modulo 65536; a file read by keyword adds BZERO to signed words (or unsigned bytes, which
// become the pixels' high bytes) and holds the result within range. The data start at
// `data_offset`.
struct FitsCoding {
    int offset = 0;
    bool standard = false;
    bool eight_bit = false;
    size_t data_offset = 0;
    // A guider frame (500 × 290, 8-bit), opened into the full frame (spread_guider_rows).
    bool guider = false;
    // The pixels stored for a frame of `frame_pixels`, and their bytes.
    size_t stored_pixels(size_t frame_pixels) const {
        return guider ? size_t{kGuiderPixels} : frame_pixels;
    }
    size_t data_bytes(size_t frame_pixels) const {
        const size_t pixels = stored_pixels(frame_pixels);
        return eight_bit ? pixels : 2 * pixels;
    }
};
// What the pixel data of a FITS file needs, checked without touching any header global: a
// readable header, the frame size `binned` selects, all the data, and the coding.
enum class FitsDataCheck { Ok, Short, Foreign };
FitsDataCheck check_fits_data(const uint8_t* data, size_t length, bool binned, FitsCoding& coding);
void decode_fits_pixels(const uint8_t* src, size_t pixels, FitsCoding coding, uint16_t* dst);

}  // namespace kvr
