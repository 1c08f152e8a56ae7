#pragma once
// The small dialogs that set the parameters of the contrast stretches, the unsharp mask and
// median filters, and the display stretch. They change the parameters as the user scrolls; the
// command that opened a modal one acts on OK.
#include <span>
#include <string>

#include "core/dialog.h"
#include "core/processing_state.h"

namespace kvr {

// "Power Law Stretch" (resource 2): `power_str` in steps of 0.1 between 0.1 and 3.0.
const DialogResource& power_dialog_resource();
class PowerDialog : public DialogModel {
  public:
    explicit PowerDialog(Program& p) : DialogModel(p, power_dialog_resource()) {}
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
};

// "Non-Linear Stretch" (resource 16): the power (`white`) 2 … 50, or a typed 1 … 50 on OK.
const DialogResource& nonlinear_dialog_resource();
class NonLinearDialog : public DialogModel {
  public:
    explicit NonLinearDialog(Program& p);
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;

  private:
    std::string power_text_;  // what the power edit shows, typed or set
};

// A dialog of parameter rows: a label, a scroll bar whose arrows step one parameter between
// limits, and an edit showing it.
struct ParameterRow {
    const char* label;
    int bar, edit;
    const char* initial;  // the edit's text as the dialog opens
    unsigned ProcessingState::*value;
    unsigned low, high;
};
DialogResource parameter_resource(int id, const char* caption, std::span<const ParameterRow> rows);

class ParameterDialog : public DialogModel {
  public:
    ParameterDialog(Program& p, const DialogResource& resource, std::span<const ParameterRow> rows,
                    const char* help_title, const char* help_text);
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;

  protected:
    // The text of a row's edit, and a row's value having changed.
    virtual std::string shown(const ParameterRow& row) const;
    virtual void changed(const ParameterRow& row) { (void)row; }

  private:
    std::span<const ParameterRow> rows_;
    const char* help_title_;
    const char* help_text_;
};

// "Unsharp Mask Filter" (resource 1): radius (`white`) and power (`black`), each 1 … 7.
const DialogResource& unsharp_dialog_resource();
class UnsharpDialog : public ParameterDialog {
  public:
    explicit UnsharpDialog(Program& p);
};

// "Median Filter" (resource 4): radius (`white`) 1 … 3 and power (`black`, tenths) 1 … 10.
const DialogResource& median_dialog_resource();
class MedianDialog : public ParameterDialog {
  public:
    explicit MedianDialog(Program& p);

  protected:
    std::string shown(const ParameterRow& row) const override;
    void changed(const ParameterRow& row) override;

  private:
    std::string power_text_;  // ".6" until the power is first changed
};

// "Stretch Display" (resource 20, modeless): the display stretch strength `max_stretch_mult`
// 2 … 50 and the switch `max_stretch`; the main window follows every change at once.
const DialogResource& max_dialog_resource();
class StretchDisplayDialog : public DialogModel {
  public:
    explicit StretchDisplayDialog(Program& p) : DialogModel(p, max_dialog_resource()) {}
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
};
// Opens the Stretch Display dialog beside the main window (command 726).
void open_stretch_display(Program& p);

// Shows one of the dialogs' help texts in a message box with the given title.
void show_dialog_help(Program& p, const char* title, const char* text);

}  // namespace kvr
