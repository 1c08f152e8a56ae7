#pragma once
// The binary settings file "c:\autosave\KVR_Q4.INI": 92 fixed-width records, 1424 bytes, no
// header, little-endian. Loading checks a few records for plausibility; a record that fails
// stops the load and the file is rewritten from the values then in memory.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kvr {

struct Program;

inline constexpr size_t kSettingsFileBytes = 1424;

// Writes every record. 0 written (and the time-zone rule set from FITS_Diff); 3 the file could
// not be created or fully written.
int save_ini_file(Program& p, std::string_view path);
// 0 loaded (or, in a fresh folder or after a plausibility stop, written from memory); 2 the
// file is missing or short or its fast_par byte is bad; 3 a rewrite failed.
int load_ini_file(Program& p, std::string_view path);
// load_ini_file on file contents already in memory (`path` is where a plausibility stop
// rewrites the file).
int load_settings_bytes(Program& p, const uint8_t* data, size_t length, std::string_view path);
// The 1424 bytes save_ini_file writes.
void encode_settings(const Program& p, uint8_t out[kSettingsFileBytes]);

}  // namespace kvr
