#include "files/label_image.h"

#include <algorithm>
#include <cstdio>

#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/label_font.h"
#include "files/time_zone.h"

namespace kvr {

namespace {

constexpr int kTextEdit = 4090;
constexpr int kAutoDateBox = 102;
constexpr int kFitsDateBox = 103;
constexpr int kOkButton = 104;
// A FITS date shorter than this has not been set.
constexpr size_t kMinFitsDateChars = 7;

// " HH:MM:SS UT YYYY-MM-DD" from the header texts, or the clock's "  HH:MM:SS UT DD-MM-YYYY ".
std::string date_part(Program& p) {
    const SettingsState& s = p.settings;
    if (s.auto_FITS_date) {
        std::string part = " ";
        part += text_of(s.FITS_Time);
        part += " UT ";
        part += text_of(s.FITS_Date);
        return part;
    }
    const std::tm t = program_local_time(p, p.clock.calendar_time());
    char part[48];
    std::snprintf(part, sizeof part, "  %02d:%02d:%02d UT %02d-%02d-%d ", t.tm_hour, t.tm_min,
                  t.tm_sec, t.tm_mday, t.tm_mon + 1, t.tm_year + 1900);
    return part;
}

}  // namespace

std::string label_line(Program& p, int auto_date, std::string_view txtbuffer) {
    const int free_cells =
        kLabelCells - static_cast<int>(txtbuffer.size()) - (auto_date == 1 ? kLabelDateCells : 0);
    std::string line(static_cast<size_t>(std::max(0, free_cells / 2)), ' ');
    line += txtbuffer;
    if (auto_date == 1) line += date_part(p);
    return line;
}

void do_label_image(Program& p, int auto_date, std::string_view txtbuffer, uint16_t* image) {
    const std::string line = label_line(p, auto_date, txtbuffer);
    const size_t width = static_cast<size_t>(p.geo.width1);
    const size_t pixels = width * static_cast<size_t>(p.geo.height1);
    std::fill_n(image, std::min(pixels, width * kLabelBandRows), uint16_t{0});
    // Cell k starts at column 8k of row 0; past the row's end it goes on in the next rows, but
    // never past the frame.
    for (size_t k = 0; k < line.size(); ++k) {
        const uint32_t* glyph = label_glyph(line[k]);  // none: the cell stays black
        for (size_t r = 0; r < kGlyphRows; ++r) {
            const size_t at = r * width + k * kGlyphColumns;
            if (at >= pixels) break;
            const size_t count = std::min<size_t>(kGlyphColumns, pixels - at);
            const uint32_t bits = glyph ? glyph[r] : 0;
            for (size_t x = 0; x < count; ++x)
                image[at + x] = (bits >> (kGlyphColumns - 1 - x)) & 1u ? 65535 : 0;
        }
    }
    std::fill_n(image, std::min<size_t>(pixels, kLabelMarkPixels), kLabelMarkValue);
}

void label_image(Program& p) {
    copy_text(p.settings.txtbuffer, "");
    LabelDialog dialog(p);
    if (p.host.run_modal(dialog) != kIdOk) return;
    do_label_image(p, p.settings.auto_date, text_of(p.settings.txtbuffer), p.ptr.image);
    refresh_display(p);
}

const DialogResource& label_dialog_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 8;
        r.caption = "Label Current Image";
        r.modal = true;
        r.controls = {
            {.kind = ControlKind::Static, .caption = "Enter the Label text", .row = 0},
            {.id = kTextEdit, .kind = ControlKind::Edit, .caption = {}, .row = 1, .col_span = 2},
            {.id = kAutoDateBox, .kind = ControlKind::CheckBox, .caption = "Auto Date", .row = 2},
            {.id = kFitsDateBox,
             .kind = ControlKind::CheckBox,
             .caption = "Use FITs Date",
             .row = 2,
             .col = 1},
            {.id = kOkButton, .kind = ControlKind::DefaultButton, .caption = "OK", .row = 3},
            {.id = kIdcCancel,
             .kind = ControlKind::Button,
             .caption = "Cancel",
             .row = 3,
             .col = 1},
        };
        return r;
    }();
    return res;
}

void LabelDialog::init() {
    p_.settings.auto_date = 1;
    text_ = std::string(text_of(p_.settings.txtbuffer));
}

void LabelDialog::toggle_auto_date() {
    SettingsState& s = p_.settings;
    if (s.auto_date == 1) {
        s.auto_date = 0;
        s.auto_FITS_date = 0;
    } else {
        s.auto_date = 1;
    }
}

void LabelDialog::toggle_fits_date() {
    SettingsState& s = p_.settings;
    if (s.auto_FITS_date == 1) {
        s.auto_FITS_date = 0;
    } else if (text_of(s.FITS_Date).size() < kMinFitsDateChars) {
        message50(p_, "Sorry, FITs date not set");
    } else {
        s.auto_FITS_date = 1;
        s.auto_date = 1;
    }
}

void LabelDialog::handle(const ControlEvent& e) {
    using K = ControlEvent::Kind;
    if (e.kind == K::TextEdited && e.id == kTextEdit) {
        text_ = e.text;
        return;
    }
    if (e.kind != K::Click && e.kind != K::Toggle) return;
    switch (e.id) {
        case kAutoDateBox:
            toggle_auto_date();
            break;
        case kFitsDateBox:
            toggle_fits_date();
            break;
        case kOkButton:
            copy_text(p_.settings.txtbuffer, std::string_view(text_).substr(0, kLabelTextChars));
            end(kIdOk);
            break;
        case kIdcCancel:
            end(kIdCancel);
            break;
        default:
            break;
    }
}

void LabelDialog::render(DialogView& view) const {
    view[kTextEdit].text = text_;
    view[kAutoDateBox].checked = p_.settings.auto_date == 1;
    view[kFitsDateBox].checked = p_.settings.auto_FITS_date == 1;
}

}  // namespace kvr
