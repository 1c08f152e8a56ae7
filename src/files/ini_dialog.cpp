#include "files/ini_dialog.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/autosave_dir.h"
#include "files/file_io.h"
#include "files/number_text.h"

namespace kvr {

namespace {

constexpr int kSetManually = 17118;
constexpr int kSetFilterDetails = 17170;
constexpr int kSetAutoSaveDir = 17148;
constexpr int kLastNum = 17157;
constexpr int kAutoSaveDirEdit = 17147;
constexpr int kMaxFiltersEdit = 17168;
constexpr int kFirstFilterName = 17171;
constexpr int kPcPortEdit = 17269;
constexpr int kFilterWheelPort = 17152;
constexpr int kMaxHysteresis = 20;
constexpr int kMaxRaBacklash = 20;
constexpr int kMaxGuiderRaBacklash = 30;
constexpr int kDefaultMaxFilters = 7;
constexpr int kFilterNameChars = kFilterNameBytes - 1;
// The background radios also set the colour and ask for a new brush.
constexpr int kBackgroundGroup = 5;

// A radio button: its global holds `value` when it is checked.
struct Radio {
    int id;
    int group;
    const char* caption;
    int value;
    std::function<int&(Program&)> int_global;    // for number globals
    std::function<char&(Program&)> char_global;  // for letter globals
    bool takes_numbers_first;
};

// A check box toggling an int flag (or, for the special ones, doing more).
struct Check {
    int id;
    const char* caption;
    std::function<bool(const Program&)> checked;
    std::function<void(Program&)> toggle;
    bool takes_numbers_first;
};

// A number edit read by take_guiding_fields.
struct NumberField {
    int id;
    int SettingsState::*value;
    long lo, hi;
};

std::function<bool(const Program&)> is_on(int SettingsState::*m) {
    return [m](const Program& p) { return p.settings.*m != 0; };
}
std::function<void(Program&)> flip(int SettingsState::*m) {
    return [m](Program& p) { p.settings.*m = !(p.settings.*m); };
}

void set_background(Program& p, char letter) {
    p.settings.default_back = letter;
    const int grey = letter == 'l' ? 192 : 90;
    const bool red = letter == 'r';
    p.display.back_r = red ? 120 : grey;
    p.display.back_g = red ? 40 : grey;
    p.display.back_b = red ? 40 : grey;
    p.display.back_changed = 1;
}

const std::vector<Radio>& radios() {
    static const std::vector<Radio> list = [] {
        std::vector<Radio> r;
        auto num = [&r](int id, int group, const char* cap, int value, int SettingsState::*m,
                        bool first) {
            r.push_back({id, group, cap, value, [m](Program& p) -> int& { return p.settings.*m; },
                         nullptr, first});
        };
        auto letter = [&r](int id, int group, const char* cap, char value,
                           std::function<char&(Program&)> g, bool first) {
            r.push_back({id, group, cap, value, nullptr, std::move(g), first});
        };
        const int masks[] = {7, 8, 9, 11, 13, 15};
        for (int i = 0; i < 6; ++i) {
            static const char* caps[] = {"7 Pixels",  "8 Pixels",  "9 Pixels",
                                         "11 Pixels", "13 Pixels", "15 Pixels"};
            num(17130 + i, 1, caps[i], masks[i], &SettingsState::star_mask, true);
        }
        auto slewcom = [](Program& p) -> char& { return p.settings.slewcom; };
        letter(17161, 2, "Com 1", '1', slewcom, true);
        letter(17162, 2, "Com 2", '2', slewcom, true);
        const int secs[] = {1, 2, 4, 8};
        static const char* sec_caps[] = {"1 Sec", "2 Sec", "4 Sec", "8 Sec"};
        for (int i = 0; i < 4; ++i) {
            num(17186 + i, 3, sec_caps[i], secs[i], &SettingsState::slewdefault, true);
            num(17190 + i, 4, sec_caps[i], secs[i], &SettingsState::guider_slewdefault, false);
        }
        auto back = [](Program& p) -> char& { return p.settings.default_back; };
        letter(17120, 5, "Red", 'r', back, true);
        letter(17121, 5, "Lt Gray", 'l', back, true);
        letter(17122, 5, "Dark Gray", 'g', back, true);
        auto scope = [](Program& p) -> char& { return p.scope.telescope; };
        letter(17127, 6, "Meade LX200 (Tm)", 'l', scope, true);
        letter(17128, 6, "Autoguider Socket", 'b', scope, true);
        letter(17129, 6, "None", 'n', scope, true);
        num(17153, 7, "10 Seconds", 10, &SettingsState::pause_secs, false);
        num(17154, 7, "15 Seconds", 15, &SettingsState::pause_secs, false);
        num(17155, 7, "20 Seconds", 20, &SettingsState::pause_secs, false);
        num(17271, 8, "1.0 pixel", 1000, &SettingsState::ignore_amount, false);
        num(17272, 8, "0.8 pixel", 800, &SettingsState::ignore_amount, false);
        num(17273, 8, "0.5 pixel", 500, &SettingsState::ignore_amount, false);
        num(17274, 8, "0.2 pixel", 200, &SettingsState::ignore_amount, false);
        return r;
    }();
    return list;
}

const std::vector<Check>& checks() {
    static const std::vector<Check> list = [] {
        using S = SettingsState;
        std::vector<Check> c;
        auto plain = [&c](int id, const char* cap, int S::*m, bool first) {
            c.push_back({id, cap, is_on(m), flip(m), first});
        };
        plain(17111, "1 Sec Delay in Focus Mode", &S::focus_delay, true);
        plain(17138, "Ignore drift less than", &S::ignore_small, true);
        plain(17139, "during Download", &S::disable_interrupts, true);
        c.push_back({17102, "Swap n/s direction",
                     [](const Program& p) { return p.settings.n == 's'; },
                     [](Program& p) { std::swap(p.settings.n, p.settings.s); }, true});
        c.push_back({17103, "Swap e/w direction",
                     [](const Program& p) { return p.settings.e == 'w'; },
                     [](Program& p) { std::swap(p.settings.e, p.settings.w); }, true});
        plain(17123, "FITS Unsigned Integer", &S::FITS_SBIG, false);
        c.push_back({17104, "HighRes Images",
                     [](const Program& p) { return p.readout.apply_correction != 0; },
                     [](Program& p) { p.readout.apply_correction = !p.readout.apply_correction; },
                     true});
        plain(17110, "correction direction", &S::Losmandy_pause, true);
        c.push_back({17105, "Debug Info Mode", is_on(&S::Debug_Mode),
                     [](Program& p) {
                         p.settings.Debug_Mode = !p.settings.Debug_Mode;
                         p.settings.Show_Interface_Details = p.settings.Debug_Mode;
                     },
                     false});
        plain(17151, "Filter Wheel", &S::filter_wheel, false);
        plain(17112, "Use Saved Exposure Values", &S::use_saved_values, false);
        c.push_back({17194, "Ignore Camera PID",
                     [](const Program& p) { return p.link.ignore_pid != 0; },
                     [](Program& p) { p.link.ignore_pid = !p.link.ignore_pid; }, false});
        c.push_back({17268, "AO Unit Available", is_on(&S::AOUnit_available),
                     [](Program& p) {
                         p.settings.AOUnit_available = !p.settings.AOUnit_available;
                         if (p.settings.AOUnit_available) p.settings.GuiderMode = 'A';
                     },
                     false});
        plain(17270, "Select half rate", &S::AOUnit_halfrate, false);
        plain(17275, "Turn off North Corrections", &S::ignore_north, false);
        plain(17276, "Turn off South Corrections", &S::ignore_south, false);
        plain(17290, "Save in 16bit Tiff format", &S::tifswitch, false);
        c.push_back({17106, "Hide exposure countdown",
                     [](const Program& p) { return p.settings.display_exposure == 0; },
                     flip(&S::display_exposure), false});
        return c;
    }();
    return list;
}

constexpr long kInt16Min = -32768;
constexpr long kInt16Max = 32767;

const NumberField kNumberFields[] = {
    {17116, &SettingsState::slewx, kInt16Min, kInt16Max},
    {17117, &SettingsState::slewy, kInt16Min, kInt16Max},
    {17114, &SettingsState::backlashx, 0, kMaxRaBacklash},
    {17115, &SettingsState::backlashy, kInt16Min, kInt16Max},
    {17136, &SettingsState::hystx, kInt16Min, kMaxHysteresis},
    {17137, &SettingsState::hysty, kInt16Min, kMaxHysteresis},
    {17180, &SettingsState::guider_slewx, kInt16Min, kInt16Max},
    {17181, &SettingsState::guider_slewy, kInt16Min, kInt16Max},
    {17182, &SettingsState::guider_backlashx, 0, kMaxGuiderRaBacklash},
    {17183, &SettingsState::guider_backlashy, kInt16Min, kInt16Max},
    {17184, &SettingsState::guider_hystx, kInt16Min, kMaxHysteresis},
    {17185, &SettingsState::guider_hysty, kInt16Min, kMaxHysteresis},
};

const char* const kNumberLabels[] = {
    "Pixels per sec in RA", "Pixels per sec in Dec",   "RA Backlash",
    "Dec Backlash",         "Hysteresis in RA (0-20)", "Hysteresis in Dec (0-20)"};

DialogResource build_resource() {
    DialogResource r;
    r.id = 17;
    r.caption = "Set Program Defaults";
    r.modal = true;
    auto add = [&r](ControlDesc d) { r.controls.push_back(std::move(d)); };
    auto label = [&add](const char* text, int row, int col, int span = 1) {
        add({.kind = ControlKind::Static,
             .caption = text,
             .row = row,
             .col = col,
             .col_span = span});
    };
    auto group = [&add](const char* text, int row, int col, int rows, int cols) {
        add({.kind = ControlKind::GroupBox,
             .caption = text,
             .row = row,
             .col = col,
             .row_span = rows,
             .col_span = cols});
    };
    auto edit = [&add](int id, int row, int col, bool read_only = false) {
        add({.id = id,
             .kind = ControlKind::Edit,
             .caption = {},
             .row = row,
             .col = col,
             .read_only = read_only});
    };
    auto button = [&add](int id, const char* text, int row, int col) {
        add({.id = id, .kind = ControlKind::Button, .caption = text, .row = row, .col = col});
    };

    // Column 0-1: guiding numbers (main camera and autoguider side by side).
    label("Main Camera", 0, 1);
    label("AutoGuider", 0, 2);
    for (int i = 0; i < 6; ++i) {
        label(kNumberLabels[i], 1 + i, 0);
        edit(kNumberFields[i].id, 1 + i, 1);
        edit(kNumberFields[6 + i].id, 1 + i, 2);
    }
    button(kSetManually, "Set Manually", 7, 1);
    group("Default Guide Training Time", 8, 0, 5, 3);
    label("Main Camera", 8, 1);
    label("AutoGuider", 8, 2);
    // Radios, grouped, in the columns the group boxes give them.
    int row_in_group[9] = {};
    const int group_row[9] = {0, 14, 21, 9, 9, 0, 5, 24, 28};
    const int group_col[9] = {0, 0, 0, 1, 2, 3, 3, 3, 1};
    group("Radius of Guide Star Mask", 13, 0, 7, 1);
    group("Com Port for Telescope", 20, 0, 3, 1);
    group("Background Image Area", 0, 3, 4, 1);
    group("Telescope", 4, 3, 4, 1);
    label("Delay before Exposure", 23, 3);
    for (const Radio& rd : radios()) {
        const int g = rd.group;
        add({.id = rd.id,
             .kind = ControlKind::Radio,
             .caption = rd.caption,
             .group = g,
             .row = group_row[g] + row_in_group[g]++,
             .col = group_col[g]});
    }
    // Check boxes in column 4, with the labels their captions continue.
    int row = 0;
    for (const Check& c : checks()) {
        if (c.id == 17139) label("Disable Interrupts", row++, 4);
        if (c.id == 17104) label("Apply correction to all", row++, 4);
        if (c.id == 17110) label("70ms delay when changing", row++, 4);
        add({.id = c.id,
             .kind = ControlKind::CheckBox,
             .caption = c.caption,
             .row = row++,
             .col = 4});
    }
    edit(kFilterWheelPort, row++, 4, true);
    label("PC Com Port", row, 4);
    edit(kPcPortEdit, row++, 5);
    // Filters, auto-save folder and the closing buttons.
    label("No of Filters (Max 8)", 8, 3);
    edit(kMaxFiltersEdit, 9, 3);
    for (int i = 0; i < kFilterNames; ++i) edit(kFirstFilterName + i, 10 + i, 3);
    button(kSetFilterDetails, "Set Filter Details", 18, 3);
    label("Last Num", 33, 0);
    edit(kLastNum, 33, 1, true);
    label("Autosave Directory", 34, 0);
    edit(kAutoSaveDirEdit, 34, 1);
    button(kSetAutoSaveDir, "Set AutoSave Dir", 34, 2);
    add({.id = kIdcOk,
         .kind = ControlKind::DefaultButton,
         .caption = "Save Changes",
         .row = 35,
         .col = 3});
    button(kIdcCancel, "Cancel", 35, 4);
    return r;
}

}  // namespace

const DialogResource& ini_dialog_resource() {
    static const DialogResource res = build_resource();
    return res;
}

void IniDialog::init() {
    refresh();
}

int IniDialog::edit_int(int id, long lo, long hi) const {
    auto it = edits_.find(id);
    return static_cast<int>(parse_leading_int(it == edits_.end() ? "" : it->second, lo, hi));
}

void IniDialog::take_guiding_fields() {
    // Backlash in RA is kept within what the settings file accepts back (0-20, guider 0-30),
    // so a stored value can never stop a later load.
    for (const NumberField& f : kNumberFields) p_.settings.*f.value = edit_int(f.id, f.lo, f.hi);
}

void IniDialog::take_filter_names() {
    SettingsState& s = p_.settings;
    const int count = edit_int(kMaxFiltersEdit, kInt16Min, kInt16Max);
    s.Max_Filters = count >= 1 && count <= kFilterNames ? count : kDefaultMaxFilters;
    for (int i = 0; i < kFilterNames; ++i) {
        const std::string& name = edits_[kFirstFilterName + i];
        copy_text(s.Filterbox_Filter_Name[i], std::string_view(name).substr(0, kFilterNameChars));
    }
}

bool IniDialog::take_sub_dir() {
    if (accept_auto_save_dir(p_, edits_[kAutoSaveDirEdit])) return true;
    messages(p_, Msg::AutoSaveDirInvalid);
    return false;
}

void IniDialog::refresh() {
    SettingsState& s = p_.settings;
    const int port = edit_int(kPcPortEdit, kInt16Min, kInt16Max);
    if (edits_.count(kPcPortEdit) && port >= 1 && port <= 7) s.PC_port = port - 1;
    s.Port = s.slewcom == '2' ? 1 : 0;
    edits_[kFilterWheelPort] = "";
    if (s.filter_wheel) {
        s.filter_wheel_comport = s.slewcom == '2' ? 0 : 1;
        edits_[kFilterWheelPort] = s.slewcom == '2' ? "on Com1" : "on Com2";
    }
    for (const NumberField& f : kNumberFields) edits_[f.id] = std::to_string(s.*f.value);
    edits_[kLastNum] = std::to_string(s.auto_save_num);
    edits_[kAutoSaveDirEdit] = std::string(text_of(s.auto_save_subdir));
    edits_[kMaxFiltersEdit] = std::to_string(s.Max_Filters);
    for (int i = 0; i < kFilterNames; ++i)
        edits_[kFirstFilterName + i] = std::string(text_of(s.Filterbox_Filter_Name[i]));
    edits_[kPcPortEdit] = std::to_string(s.PC_port + 1);
}

void IniDialog::handle(const ControlEvent& e) {
    using K = ControlEvent::Kind;
    if (e.kind == K::TextEdited) {
        if (edits_.count(e.id)) edits_[e.id] = e.text;
        return;
    }
    if (e.kind != K::Click && e.kind != K::Toggle) return;
    for (const Radio& rd : radios()) {
        if (rd.id != e.id) continue;
        if (rd.takes_numbers_first) take_guiding_fields();
        if (rd.group == kBackgroundGroup)
            set_background(p_, static_cast<char>(rd.value));
        else if (rd.int_global)
            rd.int_global(p_) = rd.value;
        else
            rd.char_global(p_) = static_cast<char>(rd.value);
        refresh();
        return;
    }
    for (const Check& c : checks()) {
        if (c.id != e.id) continue;
        if (c.takes_numbers_first) take_guiding_fields();
        c.toggle(p_);
        refresh();
        return;
    }
    switch (e.id) {
        case kSetManually:
            take_guiding_fields();
            break;
        case kSetFilterDetails:
            take_filter_names();
            break;
        case kSetAutoSaveDir:
            take_guiding_fields();
            take_sub_dir();
            break;
        case kIdcOk: {  // take every field, save, close
            take_guiding_fields();
            const bool accepted = take_sub_dir();
            refresh();
            if (accepted) end(kIdOk);
            return;
        }
        case kIdcCancel:
            end(kIdCancel);
            return;
        default:
            return;
    }
    refresh();
}

void IniDialog::render(DialogView& view) const {
    for (const Radio& rd : radios()) {
        Program& p = p_;
        view[rd.id].checked = rd.int_global ? rd.int_global(p) == rd.value
                                            : rd.char_global(p) == static_cast<char>(rd.value);
    }
    for (const Check& c : checks()) view[c.id].checked = c.checked(p_);
    for (const auto& [id, text] : edits_) view[id].text = text;
}

}  // namespace kvr
