#pragma once
// Guiding settings that the binary settings file has no record for, kept beside it in a text file
// of "NAME VALUE" lines: the guiding graph's plate scale and span and the guider paths' share of
// each error corrected (guide_plate_scale, guide_graph_minutes, guider_aggressiveness), and whether
// AO mount bumps are compensated (AOUnit_bump_compensate); and the trained calibrations at full
// precision (core/calibration_state.h), and the dithering settings (core/dither_state.h). The
// binary file keeps its fixed 1424-byte layout, which other installations of the program read, and
// with it the calibrations in whole numbers.
namespace kvr {

struct Program;

inline constexpr const char* kGuideSettingsFile = "c:\\autosave\\KVR_Q4_GUIDE.INI";

// Takes the values of the file. A missing file keeps the values in memory; so does a line with
// an unknown name or an unusable value, and then false is returned.
bool load_guide_settings(Program& p);
// Writes the values: 0 written, 3 the file could not be written.
int save_guide_settings(const Program& p);

}  // namespace kvr
