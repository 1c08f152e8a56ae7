#include "imaging/photometry.h"

#include <cmath>
#include <cstdio>

#include "core/messages.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/measure_windows.h"

namespace kvr {

namespace {

constexpr int kObjectRadio = 101;
constexpr int kComparisonRadio = 102;
constexpr int kBackgroundRadio = 103;
constexpr int kObjX = 104, kObjY = 105, kCompX = 106, kCompY = 107, kBackX = 108, kBackY = 109;
constexpr int kObjValue = 110, kCompValue = 111, kBackValue = 112, kMagnitude = 113;
constexpr int kMastX = 1018, kMastY = 1019, kMastValue = 1020;
constexpr int kHelpButton = 9;
constexpr Msg kMsgMeasureExclusive = Msg::AnalysisBusy;
constexpr Msg kMsgPhotometryGeometry = Msg::PhotometryGeometry;
constexpr Msg kMsgAlreadyPhotometry = Msg::AlreadyPhotometry;
constexpr int kDefaultRadius = 4;
// A level of the display histogram is 256 pixel values.
constexpr int kLevelWidth = 256;

// The mask buttons and the half-width each chooses.
struct MaskChoice {
    int id;
    const char* caption;
    int radius;
};
constexpr MaskChoice kMasks[] = {
    {117, "Single Pixel", 0}, {114, "5 Pixels", 2},  {115, "7 Pixels", 3},
    {116, "9 Pixels", 4},     {118, "13 Pixels", 6}, {119, "17 Pixels", 8},
};

std::string fixed0(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%7.0f", v);
    return text;
}

ControlDesc value_edit(int id, int row, int col) {
    return {.id = id,
            .kind = ControlKind::Edit,
            .caption = {},
            .row = row,
            .col = col,
            .read_only = true};
}

ControlDesc label(const char* caption, int row, int col) {
    return {.kind = ControlKind::Static, .caption = caption, .row = row, .col = col};
}

void clear_measurements(MeasureState& m) {
    m.obj_x = m.obj_y = m.obj_val = 0;
    m.comp_x = m.comp_y = m.comp_val = 0;
    m.back_x = m.back_y = m.back_val = 0;
}

}  // namespace

const DialogResource& photometry_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 10;
        r.caption = "PHOTOMETRY";
        r.modal = false;
        r.controls = {
            label("x", 0, 1),
            label("y", 0, 2),
            label("Value", 0, 3),
            {.id = kObjectRadio,
             .kind = ControlKind::Radio,
             .caption = "Object",
             .group = 1,
             .row = 1},
            {.id = kComparisonRadio,
             .kind = ControlKind::Radio,
             .caption = "Comparison",
             .group = 1,
             .row = 2},
            {.id = kBackgroundRadio,
             .kind = ControlKind::Radio,
             .caption = "Background",
             .group = 1,
             .row = 3},
            label("Magnitude difference", 4, 0),
            value_edit(kMagnitude, 4, 3),
            {.kind = ControlKind::GroupBox,
             .caption = "Diameter of Mask",
             .row = 5,
             .col = 0,
             .row_span = 2,
             .col_span = 4},
            {.kind = ControlKind::GroupBox,
             .caption = "Cursor Position",
             .row = 7,
             .col = 0,
             .row_span = 2,
             .col_span = 4},
            label(" x           y            value", 7, 0),
            value_edit(kMastX, 8, 0),
            value_edit(kMastY, 8, 1),
            value_edit(kMastValue, 8, 2),
            {.id = kIdcCancel, .kind = ControlKind::Button, .caption = "Finished", .row = 9},
            {.id = kHelpButton, .kind = ControlKind::Button, .caption = "Help", .row = 9, .col = 1},
        };
        // The object, comparison and background rows: radio, x, y, value.
        const int rows[3][3] = {
            {kObjX, kObjY, kObjValue}, {kCompX, kCompY, kCompValue}, {kBackX, kBackY, kBackValue}};
        for (int i = 0; i < 3; ++i)
            for (int c = 0; c < 3; ++c) r.controls.push_back(value_edit(rows[i][c], 1 + i, 1 + c));
        for (size_t i = 0; i < std::size(kMasks); ++i)
            r.controls.push_back({.id = kMasks[i].id,
                                  .kind = ControlKind::Radio,
                                  .caption = kMasks[i].caption,
                                  .group = 2,
                                  .row = 5 + int(i) / 3,
                                  .col = int(i) % 3});
        return r;
    }();
    return res;
}

std::string magnitude_difference(int obj_val, int comp_val, int back_val) {
    if (obj_val == 0 || comp_val == 0 || obj_val <= back_val || comp_val <= back_val) return {};
    const double ratio = double(obj_val - back_val) / double(comp_val - back_val);
    char text[32];
    // Equal signals show 0.00, not the negative zero the product gives.
    std::snprintf(text, sizeof text, "%2.2f", -2.5 * std::log10(ratio) + 0.0);
    return text;
}

void PhotometryDialog::handle(const ControlEvent& e) {
    MeasureState& m = p_.measure;
    if (is_click(e, kIdcCancel)) {
        // PHKill: clicks and pointer moves on the image are no longer measured.
        p_.display.photometry = 0;
        end(kIdcCancel);
    } else if (is_click(e, kHelpButton)) {
        show_dialog_help(p_, "KVR_Q4 - Control Photometry",
                         "Select the value you wish to record when you next press the left "
                         "mouse button");
    } else if (is_click(e, kObjectRadio)) {
        m.ph_object = 'o';
    } else if (is_click(e, kComparisonRadio)) {
        m.ph_object = 'c';
    } else if (is_click(e, kBackgroundRadio)) {
        m.ph_object = 'b';
        m.back_select = 1;
    } else if (e.kind == ControlEvent::Kind::Click) {
        for (const MaskChoice& mask : kMasks) {
            if (e.id != mask.id) continue;
            p_.guide.cur_rad = mask.radius;
            clear_measurements(m);
        }
    }
}

void PhotometryDialog::render(DialogView& view) const {
    const MeasureState& m = p_.measure;
    const int rad = p_.guide.cur_rad;
    const int n = (2 * rad + 1) * (2 * rad + 1);
    view[kObjX].text = std::to_string(m.obj_x);
    view[kObjY].text = std::to_string(m.obj_y);
    view[kCompX].text = std::to_string(m.comp_x);
    view[kCompY].text = std::to_string(m.comp_y);
    view[kBackX].text = std::to_string(m.back_x);
    view[kBackY].text = std::to_string(m.back_y);
    view[kMastX].text = std::to_string(m.mast_x);
    view[kMastY].text = std::to_string(m.mast_y);
    view[kMastValue].text = fixed0(m.mast_val);
    // Whole-number means, as integer division leaves them.
    view[kObjValue].text = fixed0(m.obj_val / n);
    view[kCompValue].text = fixed0(m.comp_val / n);
    view[kBackValue].text =
        fixed0(m.back_select ? m.back_val / n : p_.display.most_pop * kLevelWidth);
    view[kMagnitude].text = magnitude_difference(m.obj_val, m.comp_val, m.back_val);
    int chosen = 117;
    for (const MaskChoice& mask : kMasks)
        if (mask.radius == rad && mask.radius != 0) chosen = mask.id;
    for (const MaskChoice& mask : kMasks) view[mask.id].checked = mask.id == chosen;
    const int object = m.ph_object == 'o'   ? kObjectRadio
                       : m.ph_object == 'c' ? kComparisonRadio
                                            : kBackgroundRadio;
    for (int id : {kObjectRadio, kComparisonRadio, kBackgroundRadio})
        view[id].checked = id == object;
}

void open_photometry(Program& p) {
    MeasureState& m = p.measure;
    if (p.settings.merging || m.row_plot) {
        messages(p, kMsgMeasureExclusive);
        return;
    }
    if (p.display.Geo || p.shell.Fit || p.display.Big) {
        messages(p, kMsgPhotometryGeometry);
        return;
    }
    if (p.display.photometry) {
        messages(p, kMsgAlreadyPhotometry);
        return;
    }
    p.guide.cur_rad = kDefaultRadius;
    clear_measurements(m);
    m.mast_x = m.mast_y = m.mast_val = 0;
    m.back_select = 0;
    p.display.photometry = 1;
    open_measure_window<PhotometryDialog>(p, m.windows.photometry);
}

int mask_sum(const Program& p, const uint16_t* image, int x, int y, int rad) {
    const int width = p.geo.width1;
    int sum = 0;
    for (int row = y - rad; row <= y + rad; ++row)
        for (int col = x - rad; col <= x + rad; ++col) sum += image[row * width + col];
    return sum;
}

void photometry_measure(Program& p, int x, int y) {
    MeasureState& m = p.measure;
    const int sum = mask_sum(p, p.buf->image_int, x, y, p.guide.cur_rad);
    switch (m.ph_object) {
        case 'o':
            m.obj_x = x, m.obj_y = y, m.obj_val = sum;
            break;
        case 'c':
            m.comp_x = x, m.comp_y = y, m.comp_val = sum;
            break;
        default:
            m.back_x = x, m.back_y = y, m.back_val = sum;
            break;
    }
    refresh_measure_window(p, m.windows.photometry);
}

void photometry_pointer(Program& p, int x, int y) {
    MeasureState& m = p.measure;
    m.mast_x = x;
    m.mast_y = y;
    m.mast_val = p.buf->image_int[y * p.geo.width1 + x];
    refresh_measure_window(p, m.windows.photometry);
}

}  // namespace kvr
