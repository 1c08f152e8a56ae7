#include "app/startup.h"

#include <unistd.h>

#include <filesystem>

#include "app/subsystems.h"
#include "core/block_device.h"
#include "core/caption.h"
#include "core/program.h"
#include "core/version.h"
#include "display/bmp_file.h"
#include "files/file_io.h"
#include "files/file_replacement.h"
#include "files/guide_settings_file.h"
#include "files/settings_file.h"

namespace kvr {

std::unique_ptr<Program> make_program(Clock& clock, Host& host, std::string drive_root) {
    auto p = std::make_unique<Program>(clock, host);
    p->drive_root = std::move(drive_root);
    reset_buffer_pointers(*p);
    set_readout_geometry(*p);
    write_startup_test_image(*p);
    register_all_commands(*p);
    return p;
}

namespace {

// Temporary files that saves killed or failed in an earlier run left in the program's own
// folders: the settings folder, the auto-save folder and the folder of the display bitmaps.
void remove_leftover_temporaries(const Program& p) {
    for (std::string_view file :
         {text_of(p.settings.ini_file), std::string_view(kGuideSettingsFile),
          std::string_view(kDisplayBitmapPath)})
        remove_stale_temporaries(host_path(p, file_folder(file)));
    remove_stale_temporaries(host_path(p, text_of(p.settings.auto_save_dir)));
}

}  // namespace

void start_up(Program& p) {
    // As the main window's construction does: the result is not checked here; a missing file
    // is reported when the camera is first used.
    load_ini_file(p, p.settings.ini_file);
    load_guide_settings(p);
    remove_leftover_temporaries(p);
    set_startup_caption(p);
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
