#include "files/autosave_dir.h"

#include <cctype>
#include <filesystem>
#include <string>

#include "core/drive_paths.h"
#include "core/program.h"
#include "files/file_io.h"

namespace kvr {

namespace {

// The program's current drive: the one its fixed files live on.
constexpr char kCurrentDrive = 'c';

bool enter_or_create(const std::string& host) {
    std::error_code ec;
    if (std::filesystem::is_directory(host, ec)) return true;
    return std::filesystem::create_directory(host, ec);
}

}  // namespace

bool accept_auto_save_dir(Program& p, std::string_view text) {
    text = text.substr(0, kAutoSaveEditChars);
    SettingsState& s = p.settings;
    if (text.empty()) {
        copy_text(s.auto_save_subdir, "");
        copy_text(s.auto_save_dir, "c:\\AUTOSAVE");
        return true;
    }
    std::string full;
    if (text.front() == '/') {
        full = text;
    } else if (text.size() >= 2 && text[1] == ':') {
        const unsigned char letter = static_cast<unsigned char>(text[0]);
        if (!std::isalpha(letter) || letter > 0x7f || !drive_exists(p.drive_root, text[0]))
            return false;
        full = text;
    } else {
        full = std::string(1, kCurrentDrive) + ":" + (text.front() == '\\' ? "" : "\\");
        full += text;
    }
    if (full.size() >= sizeof s.auto_save_subdir) return false;
    if (!enter_or_create(map_drive_path(p.drive_root, full))) return false;
    copy_text(s.auto_save_subdir, full);
    copy_text(s.auto_save_dir, full);
    return true;
}

}  // namespace kvr
