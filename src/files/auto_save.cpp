#include "files/auto_save.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "core/drive_paths.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/file_replacement.h"
#include "files/fits_file.h"
#include "files/settings_file.h"
#include "files/time_zone.h"

namespace kvr {

unsigned next_auto_save_number(unsigned auto_save_num) {
    return auto_save_num >= kLastAutoSaveNumber ? 1 : auto_save_num + 1;
}

std::string auto_save_path(const Program& p, unsigned number) {
    const SettingsState& s = p.settings;
    std::string path(text_of(s.auto_save_dir));
    const char separator = is_drive_path(path) ? '\\' : '/';
    if (path.empty() || path.back() != separator) path += separator;
    path += text_of(s.auto_save_name);
    path += std::to_string(number);
    path += ".FIT";
    return path;
}

void stamp_mid_exposure(Program& p) {
    const RunState& r = p.run;
    // Seconds, rounded toward zero; start_exp itself is kept for the next save of this image.
    const double mid =
        std::trunc(r.start_exp + (static_cast<double>(r.end_exp) - r.start_exp) * 0.5);
    const std::tm t = program_local_time(p, static_cast<std::time_t>(mid));
    SettingsState& s = p.settings;
    std::snprintf(s.FITS_Time, sizeof s.FITS_Time, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    std::snprintf(s.FITS_Date, sizeof s.FITS_Date, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday);
}

int auto_save(Program& p, const uint16_t* image) {
    SettingsState& s = p.settings;
    apply_time_zone(p);
    stamp_mid_exposure(p);
    make_auto_save_folder(p);
    const size_t length = build_fits_file(p, image, header_texts(p), 0);
    // The stored number can lag behind the files (a settings write that failed, or a kill
    // between the two writes): a number whose file exists is passed over, never overwritten.
    for (unsigned tries = 0; tries < kLastAutoSaveNumber; ++tries) {
        s.auto_save_num = next_auto_save_number(s.auto_save_num);
        const std::string host = host_path(p, auto_save_path(p, s.auto_save_num));
        struct stat st {};
        if (::lstat(host.c_str(), &st) == 0) continue;
        const NewFile saved = create_new_file(host, p.buf->image_file, length);
        if (saved == NewFile::Exists) continue;  // another instance took the number meanwhile
        if (saved == NewFile::Failed) return 1;
        return save_ini_file(p, s.ini_file);
    }
    return 1;
}

void quick_fits_save(Program& p) {
    const int result = auto_save(p, p.ptr.image);
    if (result == 1) {
        messages(p, Msg::AutoSaveFailed);
    } else if (result != 0) {
        const std::string title = file_title(auto_save_path(p, p.settings.auto_save_num));
        message50f(p,
                   "The image was saved as %s, but its number could not be kept in the settings "
                   "file; please check disk space",
                   title.c_str());
    }
}

}  // namespace kvr
