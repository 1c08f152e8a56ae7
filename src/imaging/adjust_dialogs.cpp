#include "imaging/adjust_dialogs.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/dialog.h"
#include "core/host.h"
#include "core/program.h"
#include "kernels/filter_rows.h"

namespace kvr {

namespace {

constexpr int kHelpButton = 9;

bool is_click(const ControlEvent& e, int id) {
    return e.kind == ControlEvent::Kind::Click && e.id == id;
}

bool is_line(const ControlEvent& e, int id, ScrollCode code) {
    return e.kind == ControlEvent::Kind::Scroll && e.id == id && e.scroll == code;
}

// OK ends the dialog with OK, Cancel with Cancel.
bool handle_ok_cancel(DialogModel& d, const ControlEvent& e) {
    if (is_click(e, kIdcOk)) {
        d.end(kIdOk);
        return true;
    }
    if (is_click(e, kIdcCancel)) {
        d.end(kIdCancel);
        return true;
    }
    return false;
}

// A value stepped by the arrows of one scroll bar: one down while above `low`, one up while
// below `high`.
void step_by_arrows(const ControlEvent& e, int bar, unsigned& value, unsigned low, unsigned high) {
    if (is_line(e, bar, ScrollCode::LineUp) && value > low) --value;
    if (is_line(e, bar, ScrollCode::LineDown) && value < high) ++value;
}

void show_bar(DialogView& view, int bar, int low, int high, int pos) {
    ControlState& s = view[bar];
    s.min = low;
    s.max = high;
    s.pos = pos;
}

// Resource helpers: a row of label, scroll bar and edit; the OK, Cancel and Help row.
struct ResourceBuilder {
    DialogResource r;
    ResourceBuilder(int id, const char* caption, bool modal) {
        r.id = id;
        r.caption = caption;
        r.modal = modal;
    }
    void label(const char* text, int row, int col = 0, int span = 1) {
        r.controls.push_back({.kind = ControlKind::Static,
                              .caption = text,
                              .row = row,
                              .col = col,
                              .col_span = span});
    }
    void bar(int id, int row, int col = 1, int span = 2) {
        r.controls.push_back({.id = id,
                              .kind = ControlKind::ScrollBar,
                              .caption = {},
                              .row = row,
                              .col = col,
                              .col_span = span,
                              .horizontal = true});
    }
    void edit(int id, const char* initial, int row, int col = 3) {
        r.controls.push_back(
            {.id = id, .kind = ControlKind::Edit, .caption = initial, .row = row, .col = col});
    }
    void buttons(int row) {
        r.controls.push_back({.id = kIdcOk,
                              .kind = ControlKind::DefaultButton,
                              .caption = "OK",
                              .row = row,
                              .col = 0});
        r.controls.push_back({.id = kIdcCancel,
                              .kind = ControlKind::Button,
                              .caption = "Cancel",
                              .row = row,
                              .col = 1});
        r.controls.push_back({.id = kHelpButton,
                              .kind = ControlKind::Button,
                              .caption = "Help",
                              .row = row,
                              .col = 2});
    }
};

}  // namespace

void show_dialog_help(Program& p, const char* title, const char* text) {
    MessageBox box;
    box.caption = title;
    box.text = text;
    p.host.message_box(box);
}

// --- Power Law Stretch ---------------------------------------------------------------------------

namespace {
constexpr int kPowerBar = 101;
constexpr int kPowerEdit = 102;
}  // namespace

const DialogResource& power_dialog_resource() {
    static const DialogResource res = [] {
        ResourceBuilder b(2, "Power Law Stretch", true);
        b.label("Power", 0);
        b.bar(kPowerBar, 0);
        b.edit(kPowerEdit, "1.0", 0);
        b.buttons(1);
        return b.r;
    }();
    return res;
}

void PowerDialog::handle(const ControlEvent& e) {
    if (handle_ok_cancel(*this, e)) return;
    double& power = p_.processing.power_str;
    if (is_line(e, kPowerBar, ScrollCode::LineUp) && power > 0.2) power -= 0.1;
    if (is_line(e, kPowerBar, ScrollCode::LineDown) && power < 3.0) power += 0.1;
    if (is_click(e, kHelpButton))
        show_dialog_help(p_, "KVR_Q4 - Power Law Stretch",
                         "Use controls to vary power from 0.1 to 3.0, where powers greater than 1 "
                         "will increase contrast, and powers less than 1 will reduce contrast.");
}

void PowerDialog::render(DialogView& view) const {
    const double power = p_.processing.power_str;
    view[kPowerEdit].text = one_decimal(power);
    show_bar(view, kPowerBar, 1, 30, static_cast<int>(10 * power));
}

// --- Non-Linear Stretch --------------------------------------------------------------------------

namespace {
constexpr int kNonLinearBar = 213;
constexpr int kNonLinearEdit = 102;
constexpr unsigned kNonLinearDefault = 25;
}  // namespace

const DialogResource& nonlinear_dialog_resource() {
    static const DialogResource res = [] {
        ResourceBuilder b(16, "Non-Linear Stretch", true);
        b.label(
            "This stretch works well for images of nebulae. First use the stretch that "
            "removes the background. ",
            0, 0, 4);
        b.label("Non-Linear Power", 1);
        b.bar(kNonLinearBar, 1);
        b.edit(kNonLinearEdit, "25", 1);
        b.buttons(2);
        return b.r;
    }();
    return res;
}

NonLinearDialog::NonLinearDialog(Program& p)
    : DialogModel(p, nonlinear_dialog_resource()),
      power_text_(std::to_string(p.processing.white)) {}

void NonLinearDialog::handle(const ControlEvent& e) {
    unsigned& power = p_.processing.white;
    if (e.kind == ControlEvent::Kind::TextEdited && e.id == kNonLinearEdit) {
        power_text_ = e.text;
        return;
    }
    if (is_click(e, kIdcOk)) {
        // Stretch with the typed power, 1 … 50, or back to the default.
        const unsigned typed =
            static_cast<unsigned>(std::strtoul(power_text_.c_str(), nullptr, 10));
        if (typed > 0 && typed < 51) {
            power = typed;
            end(kIdOk);
        } else {
            power = kNonLinearDefault;
            power_text_ = std::to_string(power);
        }
        return;
    }
    if (handle_ok_cancel(*this, e)) return;
    const unsigned before = power;
    step_by_arrows(e, kNonLinearBar, power, 2, 50);
    if (power != before) power_text_ = std::to_string(power);
    if (is_click(e, kHelpButton))
        show_dialog_help(p_, "KVR_Q4 - NonLiniar Filter",
                         "Use controls to vary the Power from 2 to 50");
}

void NonLinearDialog::render(DialogView& view) const {
    view[kNonLinearEdit].text = power_text_;
    show_bar(view, kNonLinearBar, 2, 50, static_cast<int>(p_.processing.white));
}

// --- Unsharp Mask Filter and Median Filter -----------------------------------------------------

ParameterDialog::ParameterDialog(Program& p, const DialogResource& resource,
                                 std::span<const ParameterRow> rows, const char* help_title,
                                 const char* help_text)
    : DialogModel(p, resource), rows_(rows), help_title_(help_title), help_text_(help_text) {}

DialogResource parameter_resource(int id, const char* caption, std::span<const ParameterRow> rows) {
    ResourceBuilder b(id, caption, true);
    int row = 0;
    for (const ParameterRow& r : rows) {
        b.label(r.label, row);
        b.bar(r.bar, row);
        b.edit(r.edit, r.initial, row);
        ++row;
    }
    b.buttons(row);
    return b.r;
}

void ParameterDialog::handle(const ControlEvent& e) {
    if (handle_ok_cancel(*this, e)) return;
    for (const ParameterRow& r : rows_) {
        unsigned& value = p_.processing.*r.value;
        const unsigned before = value;
        step_by_arrows(e, r.bar, value, r.low, r.high);
        if (value != before) changed(r);
    }
    if (is_click(e, kHelpButton)) show_dialog_help(p_, help_title_, help_text_);
}

void ParameterDialog::render(DialogView& view) const {
    for (const ParameterRow& r : rows_) {
        const unsigned value = p_.processing.*r.value;
        view[r.edit].text = shown(r);
        show_bar(view, r.bar, static_cast<int>(r.low), static_cast<int>(r.high),
                 static_cast<int>(value));
    }
}

std::string ParameterDialog::shown(const ParameterRow& r) const {
    return std::to_string(p_.processing.*r.value);
}

namespace {

constexpr ParameterRow kUnsharpRows[] = {
    {"Radius", 101, 103, "3", &ProcessingState::white, 1, kUnsharpMaxRadius},
    {"Power", 102, 104, "1", &ProcessingState::black, 1, kUnsharpMaxPower},
};

// The power is in tenths.
constexpr ParameterRow kMedianRows[] = {
    {"Radius", 103, 101, "1", &ProcessingState::white, 1, kMedianMaxRadius},
    {"Power", 104, 102, ".6", &ProcessingState::black, 1, 10},
};
constexpr const ParameterRow& kMedianPower = kMedianRows[1];

}  // namespace

const DialogResource& unsharp_dialog_resource() {
    static const DialogResource res = parameter_resource(1, "Unsharp Mask Filter", kUnsharpRows);
    return res;
}

UnsharpDialog::UnsharpDialog(Program& p)
    : ParameterDialog(p, unsharp_dialog_resource(), kUnsharpRows, "KVR_Q4 - Unsharp Mask Filter",
                      "Use controls to vary the radius from 1 to 7, and the power from 1 to 7.") {}

const DialogResource& median_dialog_resource() {
    static const DialogResource res = parameter_resource(4, "Median Filter", kMedianRows);
    return res;
}

MedianDialog::MedianDialog(Program& p)
    : ParameterDialog(p, median_dialog_resource(), kMedianRows, "KVR_Q4 - Median Filter",
                      "Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1."),
      power_text_(kMedianPower.initial) {}

void MedianDialog::changed(const ParameterRow& r) {
    if (&r == &kMedianPower) power_text_ = one_decimal(p_.processing.black * 0.1);
}

std::string MedianDialog::shown(const ParameterRow& r) const {
    return &r == &kMedianPower ? power_text_ : ParameterDialog::shown(r);
}

// --- Stretch Display -----------------------------------------------------------------------------

namespace {
constexpr int kStretchActivate = 21002;
constexpr int kStretchBar = 21005;
constexpr int kStretchEdit = 21006;
constexpr double kStretchLow = 2.0;
constexpr double kStretchHigh = 50.0;
}  // namespace

const DialogResource& max_dialog_resource() {
    static const DialogResource res = [] {
        ResourceBuilder b(20, "Stretch Display", false);
        b.label("Stretch Display Power ", 0);
        b.bar(kStretchBar, 0);
        b.r.controls.push_back({.id = kStretchEdit,
                                .kind = ControlKind::Edit,
                                .caption = {},
                                .row = 0,
                                .col = 3,
                                .read_only = true});
        b.r.controls.push_back({.id = kStretchActivate,
                                .kind = ControlKind::CheckBox,
                                .caption = "Activate stretch display",
                                .row = 1,
                                .col = 0,
                                .col_span = 3});
        b.r.controls.push_back(
            {.id = kIdcOk, .kind = ControlKind::DefaultButton, .caption = "Close", .row = 2});
        return b.r;
    }();
    return res;
}

void StretchDisplayDialog::handle(const ControlEvent& e) {
    double& m = p_.display.max_stretch_mult;
    if (e.kind == ControlEvent::Kind::Scroll && e.id == kStretchBar) {
        switch (e.scroll) {
            case ScrollCode::LineUp:
                if (m > kStretchLow) m -= 1.0;
                break;
            case ScrollCode::LineDown:
                if (m < kStretchHigh) m += 1.0;
                break;
            case ScrollCode::PageUp:
                m = kStretchLow;
                break;
            case ScrollCode::PageDown:
                m = kStretchHigh;
                break;
            case ScrollCode::ThumbPosition:
                m = e.position;
                break;
            case ScrollCode::EndScroll:
                break;
        }
    } else if ((e.kind == ControlEvent::Kind::Toggle || e.kind == ControlEvent::Kind::Click) &&
               e.id == kStretchActivate) {
        p_.commands.dispatch(p_, Cmd::MaxStretchCheck);
    } else if (is_click(e, kIdcOk) || is_click(e, kIdcCancel)) {
        // Close, or the window's own close box (the arrow cursor back).
        p_.host.set_wait_cursor(false);
        end(e.id == kIdcOk ? kIdOk : kIdCancel);
        return;
    } else {
        return;
    }
    // The dialog repaints after every change, and its paint rebuilds the main display with the
    // new strength, so the main window follows the scroll bar live.
    p_.commands.dispatch(p_, Cmd::StretchRepaint);
}

void StretchDisplayDialog::render(DialogView& view) const {
    const int m = static_cast<int>(p_.display.max_stretch_mult);
    view[kStretchEdit].text = std::to_string(m);
    show_bar(view, kStretchBar, static_cast<int>(kStretchLow), static_cast<int>(kStretchHigh), m);
    view[kStretchActivate].checked = p_.display.max_stretch != 0;
}

void open_stretch_display(Program& p) {
    auto& dialog = p.processing.stretch_display_dialog;
    if (!dialog) dialog = std::make_shared<StretchDisplayDialog>(p);
    p.host.open_modeless(*dialog);
    // The dialog's first paint rebuilds the display; then the window repaints at once.
    p.commands.dispatch(p, Cmd::StretchRepaint);
    p.host.repaint();
}

}  // namespace kvr
