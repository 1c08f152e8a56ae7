#pragma once
// The program's fixed paths are drive paths ("c:\autosave\KVR_Q4.INI"). They map onto a drive
// root directory: drive X is <root>/x/, '\' is '/', and components that already exist are
// matched without regard to case, so "c:\AUTOSAVE" and "c:\autosave" name one folder.
#include <filesystem>
#include <string>
#include <string_view>

namespace kvr {

// $KVR_Q4_DRIVES, else $XDG_DATA_HOME/kvr_q4/drives, else ~/.local/share/kvr_q4/drives.
std::string default_drive_root();
// True for "x:..." paths.
bool is_drive_path(std::string_view path);
// Maps a drive path onto the root (creating the directory of drive c on first use); a plain
// absolute or relative Linux path is returned as it is.
std::string map_drive_path(const std::string& root, std::string_view path);
// The existing entry of `dir` whose name matches `name` without regard to case (an exact match
// wins), or `name` itself when none exists.
std::string match_component(const std::filesystem::path& dir, std::string_view name);
// A drive exists when its directory under the root exists.
bool drive_exists(const std::string& root, char letter);

}  // namespace kvr
