#include "files/file_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "core/caption.h"
#include "core/drive_paths.h"
#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/fits_file.h"
#include "files/image_files.h"

namespace kvr {

namespace {

constexpr const char* kSelectFilter =
    "Korvalen Imaging (~*.)|~*.*|FITS files|*.FIT|All Files(*.*)|*.*|";
constexpr const char* kOpenFilter = "Korvalen Imaging (~*.)|~*.*|FITS files|*.FIT|All Files|*.*|";
constexpr const char* kNativeSaveFilter =
    "Korvalen Imaging (~*.)|~*.*|FITs files|*.FIT|All Files(*.*)|*.*|";
constexpr const char* kFitsSaveFilter = "FITS file (*.FIT)|*.FIT|All Files(*.*)|*.*|";
// lastdir keeps at most this many characters.
constexpr size_t kLastDirChars = 49;

// Sets a mode flag of the main window for the duration of one command.
class ModeFlag {
  public:
    explicit ModeFlag(int& flag) : flag_(flag) { flag_ = 1; }
    ~ModeFlag() { flag_ = 0; }
    ModeFlag(const ModeFlag&) = delete;
    ModeFlag& operator=(const ModeFlag&) = delete;

  private:
    int& flag_;
};

int filter_index_for(std::string_view title) {
    return title.find('~') != std::string_view::npos ? 1 : 3;
}

std::string initial_dir(const Program& p) {
    return std::string(text_of(p.settings.lastdir));
}

void remember_folder(Program& p, std::string_view path) {
    copy_text(p.settings.lastdir, std::string_view(file_folder(path)).substr(0, kLastDirChars));
}

// Stores a chosen path in a path global, refusing (with a message) one that does not fit.
bool store_path(Program& p, char* dest, size_t capacity, const std::string& path) {
    if (path.size() < capacity) return copy_text(dest, capacity, path);
    char text[120];
    std::snprintf(text, sizeof text, "Sorry, that file name is too long (at most %zu characters)",
                  capacity - 1);
    message50(p, text);
    return false;
}

// The file to write: the chosen folder and the upper-cased title. An existing file whose name
// differs only in case is the same file (as on the platform the names come from).
std::string save_target(const Program& p, const std::string& folder, const std::string& title) {
    if (is_drive_path(folder)) return map_drive_path(p.drive_root, folder + "\\" + title);
    const std::filesystem::path dir = folder.empty() ? "." : folder;
    return (dir / match_component(dir, title)).string();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> parse_filter(std::string_view filter) {
    std::vector<std::pair<std::string, std::string>> out;
    std::vector<std::string> parts;
    while (!filter.empty()) {
        const size_t bar = filter.find('|');
        parts.emplace_back(filter.substr(0, bar));
        filter = bar == std::string_view::npos ? std::string_view{} : filter.substr(bar + 1);
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
    return out;
}

bool run_save_dialog(Program& p, const SaveDialogMode& mode) {
    FileDialogRequest req;
    req.save = true;
    req.title = "Save As";
    req.filters = parse_filter(mode.filter);
    req.filter_index = p.settings.Filter_Index;
    req.default_extension = mode.default_extension;
    req.initial_dir = initial_dir(p);
    req.initial_name = mode.initial_name;
    auto chosen = p.host.file_dialog(req);
    if (!chosen) return false;
    std::string title = file_title(chosen->path);
    if (!mode.default_extension.empty() && title.find('.') == std::string::npos)
        title += "." + mode.default_extension;
    title = upper_case(title);
    set_main_caption(p, title.c_str());
    p.settings.Filter_Index = mode.default_extension == "FIT" ? 2 : filter_index_for(title);
    const std::string folder = file_folder(chosen->path);
    if (mode.write(p, save_target(p, folder, title)) == 1) messages(p, Msg::CreateFailed);
    remember_folder(p, chosen->path);
    return true;
}

SaveDialogMode fits_save_mode() {
    return {kFitsSaveFilter, "FIT", "*.FIT", [](Program& p, const std::string& path) {
                p.host.set_wait_cursor(true);
                const int r = save_fits_file(p, path, p.ptr.image, p.readout.eightbit);
                p.host.set_wait_cursor(false);
                return r;
            }};
}

void file_save(Program& p) {
    if (p.settings.save_FITS) {
        run_save_dialog(p, fits_save_mode());
        return;
    }
    run_save_dialog(p, {kNativeSaveFilter, "", "", [](Program& q, const std::string& path) {
                            save_kv_file(q, path);  // reports its own failures (17, 19)
                            return 0;
                        }});
}

namespace {

// The open dialog (hide read-only, file must exist) with the remembered filter and folder; on
// OK the filter index follows the chosen title.
std::optional<FileDialogResult> choose_file_to_open(Program& p, const char* filter,
                                                    std::string initial_name) {
    FileDialogRequest req;
    req.title = "Open";
    req.filters = parse_filter(filter);
    req.filter_index = p.settings.Filter_Index;
    req.initial_dir = initial_dir(p);
    req.initial_name = std::move(initial_name);
    auto chosen = p.host.file_dialog(req);
    if (chosen) p.settings.Filter_Index = filter_index_for(file_title(chosen->path));
    return chosen;
}

}  // namespace

void file_open(Program& p) {
    auto chosen = choose_file_to_open(p, kOpenFilter, std::string(text_of(p.settings.lastfile)));
    if (!chosen) return;
    const std::string upper = upper_case(file_title(chosen->path));
    copy_text(p.settings.lastfile, upper);
    remember_folder(p, chosen->path);
    if (p.settings.merging) {
        // The second image of a merge: the first stays in the working image.
        p.settings.orig = 0;
        std::copy_n(p.ptr.image, p.geo.intlength, p.ptr.trial);
        if (const auto& merge = p.measure.windows.merge) p.host.refresh_dialog(*merge);
    }
    // A failed load keeps the image on screen, and with it its caption.
    if (load_kv_file(p, chosen->path)) set_main_caption(p, upper.c_str());
}

SelectResult select_image_file(Program& p) {
    auto chosen = choose_file_to_open(p, kSelectFilter, "");
    if (!chosen) return SelectResult::Cancelled;
    const std::string& path = chosen->path;
    SettingsState& s = p.settings;
    char* record = s.load_darkframe    ? s.DarkFileName
                   : s.load_comparison ? s.ComparisonFileName
                   : s.load_flatfield  ? s.FlatFileName
                   : s.delete_file     ? s.file_name
                                       : nullptr;
    if (record) {
        if (!store_path(p, record, kPathBytes, path)) return SelectResult::Refused;
        if (!s.delete_file) return SelectResult::Recorded;
        DeleteDialog confirm(p);
        if (p.host.run_modal(confirm) != kIdOk) return SelectResult::Cancelled;
        std::error_code ec;
        if (!std::filesystem::remove(host_path(p, path), ec)) {
            message50(p, "Sorry, the file could not be deleted");
            return SelectResult::Refused;
        }
        return SelectResult::Deleted;
    }
    return load_kv_temp_file(p, path) == 0 ? SelectResult::Loaded : SelectResult::LoadFailed;
}

void file_delete(Program& p) {
    ModeFlag mode(p.settings.delete_file);
    select_image_file(p);
}

void select_dark_file(Program& p) {
    ModeFlag mode(p.settings.load_darkframe);
    select_image_file(p);
}

void select_flat_field(Program& p) {
    ModeFlag mode(p.settings.load_flatfield);
    select_image_file(p);
}

void load_comparison_image(Program& p) {
    ModeFlag mode(p.settings.load_comparison);
    if (select_image_file(p) != SelectResult::Recorded) return;
    switch (load_comparison_file(p, p.ptr.comparison, p.ptr.comparison)) {
        case 0:
            p.settings.comparison_loaded = 1;
            break;
        case 11:
            messages(p, Msg::ComparisonOpenFailed);
            break;
        default:
            messages(p, Msg::ComparisonNotImage);
            break;
    }
}

const DialogResource& delete_dialog_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 9;
        r.caption = "DELETE FILE DIALOG";
        r.modal = true;
        r.controls = {
            {.kind = ControlKind::Static, .caption = "Delete this file?", .row = 0, .col_span = 2},
            {.id = 101,
             .kind = ControlKind::Edit,
             .caption = {},
             .row = 1,
             .col_span = 2,
             .read_only = true},
            {.id = kIdcOk, .kind = ControlKind::DefaultButton, .caption = "OK", .row = 2, .col = 0},
            {.id = kIdcCancel,
             .kind = ControlKind::Button,
             .caption = "Cancel",
             .row = 2,
             .col = 1},
        };
        return r;
    }();
    return res;
}

void DeleteDialog::handle(const ControlEvent& e) {
    if (e.kind == ControlEvent::Kind::Click && (e.id == kIdcOk || e.id == kIdcCancel))
        end(e.id == kIdcOk ? kIdOk : kIdCancel);
}

void DeleteDialog::render(DialogView& view) const {
    view[101].text = std::string(text_of(p_.settings.file_name));
}

}  // namespace kvr
