#pragma once
// Auto-save: the current image as a numbered FITS file in the auto-save folder, stamped with the
// middle of its exposure. Quick Save runs it on demand; the camera run after every frame it
// shows while `auto_save_fits` is set.
#include <cstdint>
#include <string>

namespace kvr {

struct Program;

// Numbers run 1 … 65530, then start again at 1.
inline constexpr unsigned kLastAutoSaveNumber = 65530;

// The number after `auto_save_num`.
unsigned next_auto_save_number(unsigned auto_save_num);
// `auto_save_dir` + "\" + `auto_save_name` + number + ".FIT" (a Linux folder is joined with "/").
std::string auto_save_path(const Program& p, unsigned number);
// FITS_Time ("HH:MM:SS") and FITS_Date ("YYYY-MM-DD") from the middle of start_exp … end_exp,
// in the program's time zone (FITS_Diff hours behind UT).
void stamp_mid_exposure(Program& p);

// Takes the next number whose file does not exist (numbers are used up even when the write
// fails), stamps the time, writes `image` as a 16-bit FITS file (creating the folder when
// missing) and then the settings file, which keeps the number. An existing file is never
// replaced. 1 when the FITS write failed (or every number is taken); else the settings file's
// result (0 written, 3 failed).
int auto_save(Program& p, const uint16_t* image);

// Window command 24336 "&Quick Save as FITS..." (Ctrl+Q): auto_save of the current image;
// message 49 when the file could not be written, message 50 when it was but the settings file
// could not keep its number.
void quick_fits_save(Program& p);

}  // namespace kvr
