#include "app/startup.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "app/program.h"
#include "app/subsystems.h"
#include "app/version.h"
#include "files/settings_file.h"

namespace kvr {

namespace {

const char* record_file_name(Program& p, const char* name) {
    char* f = p.shell.FileName;
    const char* shown = name && *name ? name : "(Untitled)";
    std::strncpy(f, shown, sizeof p.shell.FileName - 1);
    f[sizeof p.shell.FileName - 1] = '\0';
    return f;
}

}  // namespace

void SetCaption(Program& p, const char* name) {
    p.host.set_caption(std::string(kAppName) + " - " + record_file_name(p, name));
}

void start_up(Program& p) {
    // As the main window's construction does: the result is not checked here; a missing file
    // is reported when the camera is first used.
    LoadINIFile(p, p.settings.ini_file);
    // The window is built before it has a frame to caption: the name is recorded, and the
    // caption is the program's name alone until the first image is shown.
    record_file_name(p, nullptr);
    p.host.set_caption(kAppName);
}

std::string help_file_path() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    for (const fs::path& candidate :
         {exe.parent_path() / "help" / "kvr_q4.html",
          exe.parent_path().parent_path() / "docs" / "help" / "kvr_q4.html",
          fs::path(KVR_SOURCE_DIR) / "docs" / "help" / "kvr_q4.html"}) {
        if (fs::exists(candidate, ec)) return candidate.string();
    }
    return {};
}

}  // namespace kvr
