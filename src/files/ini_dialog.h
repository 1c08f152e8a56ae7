#pragma once
// "Set Program Defaults" (resource 17). Every control changes its global at once; the dialog
// is then redrawn from the globals. "Save Changes" ends it with OK (the caller writes the
// settings file); "Cancel" ends it without writing, keeping the changes for this run.
#include <map>
#include <string>

#include "core/dialog.h"

namespace kvr {

const DialogResource& ini_dialog_resource();

class IniDialog : public DialogModel {
  public:
    explicit IniDialog(Program& p) : DialogModel(p, ini_dialog_resource()) {}
    void init() override;
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;

  private:
    // Before every drawing: takes the PC port edit, derives Port and the filter wheel's port, and
    // fills every edit from the globals (numbers typed but not taken are replaced).
    void refresh();
    // Takes the twelve guiding number fields.
    void take_guiding_fields();
    void take_filter_names();
    // Takes the auto-save folder; false (message 52 shown) when it is not acceptable.
    bool take_sub_dir();
    int edit_int(int id, long lo, long hi) const;

    std::map<int, std::string> edits_;
};

}  // namespace kvr
