#include "imaging/stretch_dialog.h"

#include <algorithm>

#include "core/program.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/histogram_plot.h"

namespace kvr {

namespace {

constexpr int kBlackEdit = 101;
constexpr int kBlackBar = 102;
constexpr int kWhiteBar = 103;
constexpr int kWhiteEdit = 104;
constexpr int kHelpButton = 9;
constexpr int kBlackMax = 255;
constexpr int kWhiteMin = 2;
constexpr int kWhiteMax = 300;
constexpr int kPage = 10;

constexpr int kPictureWidth = 272;
constexpr int kPictureHeight = 236;
constexpr Argb kFace = argb(192, 192, 192);
constexpr Argb kStripColour = argb(255, 255, 255);
constexpr Argb kArrowColour = argb(0, 0, 0);
constexpr HistogramTicks kTicks{215, 218, 220};

}  // namespace

const DialogResource& stretch_dialog_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 3;
        r.caption = "Normal Stretch";
        r.modal = true;
        r.controls = {
            {.id = kStretchHistogramArea,
             .kind = ControlKind::DrawArea,
             .caption = {},
             .row = 0,
             .col = 0,
             .col_span = 4,
             .width = kPictureWidth,
             .height = kPictureHeight},
            {.kind = ControlKind::Static, .caption = "Black", .row = 1, .col = 0},
            {.id = kBlackBar,
             .kind = ControlKind::ScrollBar,
             .caption = {},
             .row = 1,
             .col = 1,
             .col_span = 2},
            {.id = kBlackEdit, .kind = ControlKind::Edit, .caption = "0", .row = 1, .col = 3},
            {.kind = ControlKind::Static, .caption = "White", .row = 2, .col = 0},
            {.id = kWhiteBar,
             .kind = ControlKind::ScrollBar,
             .caption = {},
             .row = 2,
             .col = 1,
             .col_span = 2},
            {.id = kWhiteEdit, .kind = ControlKind::Edit, .caption = "255", .row = 2, .col = 3},
            {.id = kIdcOk, .kind = ControlKind::DefaultButton, .caption = "OK", .row = 3, .col = 0},
            {.id = kIdcCancel,
             .kind = ControlKind::Button,
             .caption = "Cancel",
             .row = 3,
             .col = 1},
            {.id = kHelpButton, .kind = ControlKind::Button, .caption = "Help", .row = 3, .col = 2},
        };
        return r;
    }();
    return res;
}

void StretchDialog::init() {
    picture_.resize(kPictureWidth, kPictureHeight, kFace);
    draw_level_histogram(picture_, p_.display.table, kTicks);
    draw_markers();
}

// Each rule moves the point only while it stays on its side of the other.
void StretchDialog::scroll_white(const ControlEvent& e) {
    const int black = static_cast<int>(p_.processing.black);
    int white = static_cast<int>(p_.processing.white);
    switch (e.scroll) {
        case ScrollCode::LineUp:
            if (white > 0 && black + 1 < white) white -= 1;
            break;
        case ScrollCode::LineDown:
            if (white < kWhiteMax) white += 1;
            break;
        case ScrollCode::PageUp:
            if (white > kPage - 1 && black + kPage < white) white -= kPage;
            break;
        case ScrollCode::PageDown:
            if (white < kWhiteMax - kPage + 1) white += kPage;
            break;
        case ScrollCode::ThumbPosition:
            if (e.position > black) white = e.position;
            break;
        case ScrollCode::EndScroll:
            break;
    }
    p_.processing.white = static_cast<unsigned>(white);
}

void StretchDialog::scroll_black(const ControlEvent& e) {
    int black = static_cast<int>(p_.processing.black);
    const int white = static_cast<int>(p_.processing.white);
    switch (e.scroll) {
        case ScrollCode::LineUp:
            if (black > 0) black -= 1;
            break;
        case ScrollCode::LineDown:
            if (black < kBlackMax && white - 1 > black) black += 1;
            break;
        case ScrollCode::PageUp:
            if (black > kPage - 1) black -= kPage;
            break;
        case ScrollCode::PageDown:
            if (black < kBlackMax - kPage + 1 && white - kPage > black) black += kPage;
            break;
        case ScrollCode::ThumbPosition:
            if (e.position < white) black = e.position;
            break;
        case ScrollCode::EndScroll:
            break;
    }
    p_.processing.black = static_cast<unsigned>(black);
}

void StretchDialog::handle(const ControlEvent& e) {
    if (e.kind == ControlEvent::Kind::Click && (e.id == kIdcOk || e.id == kIdcCancel)) {
        end(e.id == kIdcOk ? kIdOk : kIdCancel);
        return;
    }
    if (e.kind == ControlEvent::Kind::Scroll && e.id == kWhiteBar) scroll_white(e);
    if (e.kind == ControlEvent::Kind::Scroll && e.id == kBlackBar) scroll_black(e);
    if (e.kind == ControlEvent::Kind::Click && e.id == kHelpButton)
        show_dialog_help(
            p_, "KVR_Q4 - Normal Stretch",
            "Use controls to vary intensity from 0 to 255, where the lowest value will be shown "
            "as black and the highest by white. \n\nIf you type values into the black or white "
            "boxes you must press the set white or black button to activate.\n\n It is possible "
            "to darken the image overall by increasing the white level to 300.");
    // Values typed into the edits are not read.
    if (e.kind == ControlEvent::Kind::Scroll || e.kind == ControlEvent::Kind::Click) draw_markers();
}

// The marker strip under the histogram: an arrow at each point (white above 255 at 255).
void StretchDialog::draw_markers() {
    ProcessingState& s = p_.processing;
    picture_.fill_rect(4, 219, 268, 232, kStripColour);
    const int drawn_white = static_cast<int>(std::min(s.white, 255u));
    for (int level : {static_cast<int>(s.black), drawn_white}) {
        const int x = level + kHistogramBarsX;
        picture_.line(x, 230, x, 220, kArrowColour);
        picture_.line(x - 3, 224, x, 221, kArrowColour);
        picture_.line(x, 221, x + 3, 224, kArrowColour);
    }
    s.oldwhite = static_cast<unsigned>(drawn_white);
    s.oldblack = s.black;
}

void StretchDialog::render(DialogView& view) const {
    const ProcessingState& s = p_.processing;
    view[kBlackEdit].text = std::to_string(s.black);
    view[kWhiteEdit].text = std::to_string(s.white);
    ControlState& black = view[kBlackBar];
    black.min = 0;
    black.max = kBlackMax;
    black.pos = static_cast<int>(s.black);
    ControlState& white = view[kWhiteBar];
    white.min = kWhiteMin;
    white.max = kWhiteMax;
    white.pos = static_cast<int>(s.white);
}

const Canvas* StretchDialog::drawing(int control_id) const {
    return control_id == kStretchHistogramArea ? &picture_ : nullptr;
}

}  // namespace kvr
