#pragma once
// The auto-save folder chosen in the settings dialog. A drive path ("d:\images") needs its drive
// to exist under the drive root; a text without a drive ("images", "\images") is put on drive
// c:; a plain Linux absolute path is used as it is. The folder is entered or, when missing,
// created (one level, as a change-directory-or-make-directory would).
#include <string_view>

namespace kvr {

struct Program;

// Room of the edit: longer texts are cut.
inline constexpr size_t kAutoSaveEditChars = 79;

// Accepts the text: a non-empty text (with its drive) becomes auto_save_subdir and
// auto_save_dir; an empty one resets them to "" and "c:\AUTOSAVE". False, with nothing
// changed, when the drive does not exist, the folder can be neither entered nor created, or
// the text with its drive does not fit auto_save_subdir.
bool accept_auto_save_dir(Program& p, std::string_view text);

}  // namespace kvr
