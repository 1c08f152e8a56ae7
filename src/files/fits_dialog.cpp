#include "files/fits_dialog.h"

#include <cstring>

#include "core/host.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/number_text.h"

namespace kvr {

namespace {

constexpr int kMaxHours = 11;
constexpr int kScrollHours = 111;
constexpr int kShowHours = 112;
constexpr int kEightBit = 108;
constexpr int kUnsigned = 117;

// An edit that holds a text global, with the number of characters the edit accepts.
struct TextEdit {
    int id;
    size_t limit;
    char* (*target)(Program&);
    size_t capacity;
};

#define KVR_TEXT_EDIT(ID, NAME, LIMIT)                                  \
    TextEdit {                                                          \
        ID, LIMIT, [](Program& p) -> char* { return p.settings.NAME; }, \
            sizeof(SettingsState::NAME)                                 \
    }

const TextEdit kTextEdits[] = {
    KVR_TEXT_EDIT(101, FITS_Obj, 67),    KVR_TEXT_EDIT(102, FITS_Obs, 67),
    KVR_TEXT_EDIT(109, FITS_Src, 67),    KVR_TEXT_EDIT(104, FITS_Tel, 67),
    KVR_TEXT_EDIT(115, FITS_Filter, 67), KVR_TEXT_EDIT(105, FITS_Ins, 67),
    KVR_TEXT_EDIT(107, FITS_His, 254),   KVR_TEXT_EDIT(106, FITS_Com, 254),
    KVR_TEXT_EDIT(103, FITS_Date, 11),   KVR_TEXT_EDIT(110, FITS_Time, 11),
};
#undef KVR_TEXT_EDIT

struct NumberEdit {
    int id;
    double SettingsState::*value;
};
const NumberEdit kNumberEdits[] = {
    {113, &SettingsState::FITS_Focallen},
    {114, &SettingsState::FITS_Aperture},
    {116, &SettingsState::FITS_Exptime},
};
constexpr size_t kNumberEditChars = 19;

}  // namespace

const DialogResource& fits_dialog_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 14;
        r.caption = "FITS DETAILS";
        r.modal = true;
        auto label = [&r](const char* text, int row, int col) {
            r.controls.push_back(
                {.kind = ControlKind::Static, .caption = text, .row = row, .col = col});
        };
        auto edit = [&r](int id, int row, int col, int col_span = 3, int row_span = 1) {
            r.controls.push_back({.id = id,
                                  .kind = ControlKind::Edit,
                                  .caption = {},
                                  .row = row,
                                  .col = col,
                                  .row_span = row_span,
                                  .col_span = col_span});
        };
        label("Object:", 0, 0), edit(101, 0, 1);
        label("Observer:", 1, 0), edit(102, 1, 1);
        label("Origin:", 2, 0), edit(109, 2, 1);
        label("Telescope:", 3, 0), edit(104, 3, 1);
        label("Focal Len (ins):", 4, 0), edit(113, 4, 1, 1);
        label("Aperture (Sq. ins):", 4, 2), edit(114, 4, 3, 1);
        label("Filter:", 5, 0), edit(115, 5, 1);
        label("Instrumentation:", 6, 0), edit(105, 6, 1);
        label("Exposure (secs):", 7, 0), edit(116, 7, 1, 1);
        label("History:", 8, 0), edit(107, 8, 1, 3, 2);
        label("Comments:", 10, 0), edit(106, 10, 1, 3, 2);
        label("Date:", 12, 0), edit(103, 12, 1, 1);
        label("Time:", 12, 2), edit(110, 12, 3, 1);
        label("Time Difference to UT in Hrs:", 13, 0);
        r.controls.push_back({.id = kScrollHours,
                              .kind = ControlKind::ScrollBar,
                              .caption = {},
                              .row = 13,
                              .col = 1,
                              .col_span = 2,
                              .horizontal = true});
        r.controls.push_back({.id = kShowHours,
                              .kind = ControlKind::Edit,
                              .caption = {},
                              .row = 13,
                              .col = 3,
                              .read_only = true});
        r.controls.push_back({.id = kEightBit,
                              .kind = ControlKind::CheckBox,
                              .caption = "8 bit integer (16 bit default)",
                              .row = 14,
                              .col = 0,
                              .col_span = 2});
        r.controls.push_back({.id = kUnsigned,
                              .kind = ControlKind::CheckBox,
                              .caption = "Unsigned Integer Format",
                              .row = 14,
                              .col = 2,
                              .col_span = 2});
        r.controls.push_back({.id = kIdcOk,
                              .kind = ControlKind::DefaultButton,
                              .caption = "Continue",
                              .row = 15,
                              .col = 1});
        r.controls.push_back({.id = kIdcCancel,
                              .kind = ControlKind::Button,
                              .caption = "Abort",
                              .row = 15,
                              .col = 2});
        return r;
    }();
    return res;
}

void FitsDialog::init() {
    for (const auto& t : kTextEdits) {
        const char* text = t.target(p_);
        edits_[t.id] = std::string(text, strnlen(text, t.capacity));
    }
    for (const auto& n : kNumberEdits) edits_[n.id] = format_fixed(p_.settings.*n.value);
    const int diff = p_.settings.FITS_Diff;
    time_value = diff >= -kMaxHours && diff <= kMaxHours ? diff : 0;
}

void FitsDialog::decrement_hour() {
    if (time_value > -kMaxHours) --time_value;
}

void FitsDialog::increment_hour() {
    if (time_value < kMaxHours) ++time_value;
}

void FitsDialog::take_edits() {
    for (const auto& t : kTextEdits) {
        const std::string& text = edits_[t.id];
        copy_text(t.target(p_), t.capacity, std::string_view(text).substr(0, t.limit));
    }
    for (const auto& n : kNumberEdits) {
        double v = 0;
        if (parse_number(std::string_view(edits_[n.id]).substr(0, kNumberEditChars), v))
            p_.settings.*n.value = v;
    }
    p_.settings.FITS_Diff = time_value;
    end(kIdOk);
}

void FitsDialog::handle(const ControlEvent& e) {
    using K = ControlEvent::Kind;
    if (e.kind == K::TextEdited) {
        if (edits_.count(e.id)) edits_[e.id] = e.text;
        return;
    }
    if (e.kind == K::Scroll && e.id == kScrollHours) {
        if (e.scroll == ScrollCode::LineUp) decrement_hour();
        if (e.scroll == ScrollCode::LineDown) increment_hour();
        return;
    }
    if (e.kind != K::Click && e.kind != K::Toggle) return;
    switch (e.id) {
        case kEightBit:
            p_.readout.eightbit = !p_.readout.eightbit;
            break;
        case kUnsigned:
            p_.settings.FITS_SBIG = !p_.settings.FITS_SBIG;
            break;
        case kIdcOk:
            take_edits();
            break;
        case kIdcCancel:
            end(kIdCancel);
            break;
        default:
            break;
    }
}

void FitsDialog::render(DialogView& view) const {
    for (const auto& [id, text] : edits_) view[id].text = text;
    ControlState& hours = view[kScrollHours];
    hours.min = -kMaxHours;
    hours.max = kMaxHours;
    hours.pos = time_value;
    view[kShowHours].text = std::to_string(time_value);
    view[kEightBit].checked = p_.readout.eightbit != 0;
    view[kUnsigned].checked = p_.settings.FITS_SBIG != 0;
}

}  // namespace kvr
