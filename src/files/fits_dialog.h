#pragma once
// "FITS DETAILS" (resource 14): the header texts and numbers of the next FITS save, the hour
// offset to UT, and the 8-bit and unsigned-format switches.
#include <map>
#include <string>

#include "core/dialog.h"

namespace kvr {

const DialogResource& fits_dialog_resource();

class FitsDialog : public DialogModel {
  public:
    explicit FitsDialog(Program& p) : DialogModel(p, fits_dialog_resource()) {}
    void init() override;
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;

    int time_value = 0;

  private:
    void decrement_hour();
    void increment_hour();
    void take_edits();

    std::map<int, std::string> edits_;
};

}  // namespace kvr
