// "Save as Tiff file...": the save dialog in TIFF mode.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "app/messages.h"
#include "app/program.h"
#include "app/startup.h"
#include "files/bmp_export_commands.h"
#include "files/drive_paths.h"
#include "files/tiff_file.h"

namespace kvr {

namespace {

constexpr int kUnableToCreateFileMessage = 22;
// Only this much of the last directory is kept.
constexpr size_t kLastDirChars = 49;

FileDialogRequest tiff_save_request(const Program& p) {
    FileDialogRequest r;
    r.save = true;
    r.title = "Save as Tiff file";
    r.filters = {{"Tiff file (*.TIF)", "*.TIF"}, {"All Files(*.*)", "*.*"}};
    r.filter_index = p.settings.Filter_Index;
    r.default_extension = "TIF";
    r.initial_name = "*.TIF";
    r.initial_dir = p.settings.lastdir;
    return r;
}

}  // namespace

void CmTifSave(Program& p) {
    namespace fs = std::filesystem;
    const std::optional<FileDialogResult> chosen = p.host.file_dialog(tiff_save_request(p));
    if (!chosen || chosen->path.empty()) return;

    const fs::path path = map_drive_path(p.drive_root, chosen->path);
    std::string title = path.filename().string();
    if (title.empty()) return;
    if (!path.has_extension()) title += ".TIF";  // the dialog's default extension
    std::transform(title.begin(), title.end(), title.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    SetCaption(p, title.c_str());
    p.settings.Filter_Index = title.find('~') != std::string::npos ? 1 : 3;

    const fs::path directory = path.parent_path();
    p.host.set_wait_cursor(true);
    const int result =
        SaveTifFile(p, (directory / title).string(), p.ptr.image, p.settings.tifswitch);
    p.host.set_wait_cursor(false);
    if (result == 1) messages(p, kUnableToCreateFileMessage);

    const std::string dir = directory.string();
    const size_t n = std::min(dir.size(), std::min(kLastDirChars, sizeof p.settings.lastdir - 1));
    std::memcpy(p.settings.lastdir, dir.data(), n);
    p.settings.lastdir[n] = '\0';
}

}  // namespace kvr
