#include "imaging/merging.h"

#include <algorithm>

#include "core/messages.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/header_band.h"
#include "imaging/measure_windows.h"

namespace kvr {

namespace {

constexpr int kMergeButton = 1;
constexpr int kHelpButton = 9;
constexpr int kOriginalRadio = 101;
constexpr int kMergeRadio = 102;
constexpr int kAverageBox = 103;
constexpr int kOrigX = 104;
constexpr int kMergeX = 105;
constexpr int kOrigY = 106;
constexpr int kMergeY = 107;
constexpr int kCentreBox = 108;

constexpr Msg kMsgMergeGeometry = Msg::MergeGeometry;
constexpr Msg kMsgAlreadyMerging = Msg::AlreadyMerging;
constexpr Msg kMsgMeasureExclusive = Msg::AnalysisBusy;
constexpr uint32_t kPixelMax = 65535;

ControlDesc edit(int id, int row, int col) {
    return {.id = id,
            .kind = ControlKind::Edit,
            .caption = "0",
            .row = row,
            .col = col,
            .read_only = true};
}

bool toggled(const ControlEvent& e, int id) {
    return e.id == id &&
           (e.kind == ControlEvent::Kind::Toggle || e.kind == ControlEvent::Kind::Click);
}

}  // namespace

const DialogResource& merge_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 13;
        r.caption = "MERGE IMAGES";
        r.modal = false;
        r.controls = {
            {.kind = ControlKind::Static, .caption = "x         y", .row = 0, .col = 1},
            {.id = kOriginalRadio,
             .kind = ControlKind::Radio,
             .caption = "Original  Image",
             .group = 1,
             .row = 1,
             .col = 0},
            edit(kOrigX, 1, 1),
            edit(kOrigY, 1, 2),
            {.id = kMergeRadio,
             .kind = ControlKind::Radio,
             .caption = "Merge Image",
             .group = 1,
             .row = 2,
             .col = 0},
            edit(kMergeX, 2, 1),
            edit(kMergeY, 2, 2),
            {.id = kAverageBox, .kind = ControlKind::CheckBox, .caption = "Average", .row = 3},
            {.id = kCentreBox,
             .kind = ControlKind::CheckBox,
             .caption = "Centre on Star",
             .row = 3,
             .col = 1,
             .col_span = 2},
            {.id = kMergeButton, .kind = ControlKind::Button, .caption = "Merge", .row = 4},
            {.id = kIdcCancel,
             .kind = ControlKind::Button,
             .caption = "Cancel",
             .row = 4,
             .col = 1},
            {.id = kHelpButton, .kind = ControlKind::Button, .caption = "Help", .row = 4, .col = 2},
        };
        return r;
    }();
    return res;
}

void do_merge(Program& p, uint16_t* second, uint16_t* original, int orig_x, int orig_y, int merge_x,
              int merge_y, int average) {
    const int width = p.geo.width1, height = p.geo.height1, shown_width = p.geo.width2;
    const int s = has_header_band(second) || has_header_band(original) ? kHeaderBandRows : 0;
    const int dx = merge_x - orig_x, dy = merge_y - orig_y;
    for (int y = s; y < height; ++y) {
        const int ay = y + dy;
        if (ay <= s || ay >= height) continue;
        const uint16_t* a = second + ay * width;
        uint16_t* b = original + y * width;
        // Columns whose counterpart lies strictly inside: 0 < x + dx < width2.
        const int first = std::max(0, 1 - dx), last = std::min(width - 1, shown_width - 1 - dx);
        for (int x = first; x <= last; ++x) {
            const uint32_t v = uint32_t(a[x + dx]) + b[x];
            b[x] = static_cast<uint16_t>(average ? v / 2 : std::min(v, kPixelMax));
        }
    }
    std::copy_n(original, p.geo.intlength, second);
}

void MergeDialog::merge_now() {
    SettingsState& s = p_.settings;
    MeasureState& m = p_.measure;
    if (s.orig) return;
    // Merge pressed before any marking click: the pair the clicks would have recorded.
    if (!p_.ptr.extfredptr) p_.ptr.extfredptr = p_.ptr.image;
    if (!p_.ptr.exttrialptr) p_.ptr.exttrialptr = p_.buf->trial_int;
    s.merging = 0;
    end(kIdOk);
    const RunState& r = p_.run;
    do_merge(p_, p_.ptr.extfredptr, p_.ptr.exttrialptr, r.orig_x, r.orig_y, r.merge_x, r.merge_y,
             m.average);
    m.average = 0;
    p_.display.prep_image = 1;
    p_.host.repaint();
}

void MergeDialog::handle(const ControlEvent& e) {
    MeasureState& m = p_.measure;
    if (is_click(e, kMergeButton)) {
        merge_now();
    } else if (is_click(e, kIdcCancel)) {
        p_.settings.merging = 0;
        m.average = 0;
        end(kIdcCancel);
    } else if (is_click(e, kHelpButton)) {
        show_dialog_help(p_, "KVR_Q4 - Control Merging",
                         "Mark the position in the displayed image by pressing the left Mouse "
                         "button. Then load the image to be merged by using the File/Open Menu "
                         "Option. Mark the position to be matched on, and press the MERGE "
                         "button.\n\nCheck the Average box if you want an average rather than "
                         "addition.");
    } else if (toggled(e, kAverageBox)) {
        m.average = !m.average;
    } else if (toggled(e, kCentreBox)) {
        m.merge_centre = !m.merge_centre;
    }
}

void MergeDialog::render(DialogView& view) const {
    const MeasureState& m = p_.measure;
    const RunState& r = p_.run;
    view[kOrigX].text = std::to_string(r.orig_x);
    view[kOrigY].text = std::to_string(r.orig_y);
    view[kMergeX].text = std::to_string(r.merge_x);
    view[kMergeY].text = std::to_string(r.merge_y);
    view[kAverageBox].checked = m.average != 0;
    view[kCentreBox].checked = m.merge_centre != 0;
    view[kOriginalRadio].checked = p_.settings.orig != 0;
    view[kMergeRadio].checked = p_.settings.orig == 0;
}

void add_image(Program& p) {
    SettingsState& s = p.settings;
    MeasureState& m = p.measure;
    if (p.display.photometry || m.row_plot) {
        messages(p, kMsgMeasureExclusive);
        return;
    }
    if (p.display.Geo || p.shell.Fit || p.display.Big) {
        messages(p, kMsgMergeGeometry);
        return;
    }
    if (s.merging) {
        messages(p, kMsgAlreadyMerging);
        return;
    }
    s.orig = 1;
    m.average = 0;
    p.run.orig_x = p.run.orig_y = p.run.merge_x = p.run.merge_y = 0;
    s.merging = 1;
    open_measure_window<MergeDialog>(p, m.windows.merge);
}

void merge_mark(Program& p, int x, int y) {
    MeasureState& m = p.measure;
    if (p.settings.orig) {
        p.run.orig_x = x;
        p.run.orig_y = y;
    } else {
        p.run.merge_x = x;
        p.run.merge_y = y;
    }
    p.ptr.extfredptr = p.ptr.image;
    p.ptr.exttrialptr = p.buf->trial_int;
    refresh_measure_window(p, m.windows.merge);
}

}  // namespace kvr
