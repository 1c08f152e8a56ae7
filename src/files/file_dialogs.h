#pragma once
// The "&File" menu's dialogs: open, save (native, FITS, and TIFF through its writer), and the
// shared select-file dialog whose mode flags decide what the chosen file is for.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/dialog.h"

namespace kvr {

struct Program;

// "Name|pattern|Name|pattern|" as the platform's filter pairs.
std::vector<std::pair<std::string, std::string>> parse_filter(std::string_view filter);

// What the save dialog writes in one mode. `write` gets the path to write and returns 0, or 1
// when the file could not be written (message 22 is then shown).
struct SaveDialogMode {
    std::string filter;
    std::string default_extension;  // "FIT", "TIF", or empty
    std::string initial_name;
    std::function<int(Program&, const std::string& path)> write;
};
// file_save's dialog and write in the given mode. Returns false when cancelled.
bool run_save_dialog(Program& p, const SaveDialogMode& mode);
// The FITS mode (fits_save): the main image with the header globals and `eightbit`.
SaveDialogMode fits_save_mode();

enum class SelectResult { Cancelled, Recorded, Refused, Deleted, Loaded, LoadFailed };
// The select-file part of merge_image: by mode flag it records the dark, flat or comparison
// path, deletes the file after confirmation, or (no flag) loads it into the working image.
SelectResult select_image_file(Program& p);

void file_open(Program& p);
void file_save(Program& p);
void file_delete(Program& p);
void select_dark_file(Program& p);
void select_flat_field(Program& p);
void load_comparison_image(Program& p);

// "DELETE FILE DIALOG" (resource 9).
const DialogResource& delete_dialog_resource();
class DeleteDialog : public DialogModel {
  public:
    explicit DeleteDialog(Program& p) : DialogModel(p, delete_dialog_resource()) {}
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
};

}  // namespace kvr
