#include "display/blink.h"

#include "display/display.h"
#include "display/display_mapping.h"
#include "imaging/measure_windows.h"

namespace kvr {

namespace {

constexpr int kFlipButton = 102;

}  // namespace

const DialogResource& blink_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 21;
        r.caption = "Blinking:- Current Image";
        r.modal = false;
        r.controls = {
            {.id = kFlipButton, .kind = ControlKind::Button, .caption = "Comparison"},
            {.id = kIdcOk, .kind = ControlKind::Button, .caption = "Finished", .col = 1},
        };
        return r;
    }();
    return res;
}

void BlinkDialog::flip_picture() {
    p_.commands.dispatch(p_, blink_original ? Cmd::BlinkShowComparison : Cmd::BlinkShowOriginal);
    blink_original = !blink_original;
}

void BlinkDialog::handle(const ControlEvent& e) {
    if (is_click(e, kFlipButton)) {
        flip_picture();
    } else if (is_click(e, kIdcOk) || is_click(e, kIdcCancel)) {
        // Closing: whatever was last shown stays until the next refresh.
        p_.measure.blinking = 0;
        end(kIdOk);
    }
}

void BlinkDialog::render(DialogView& view) const {
    view[kFlipButton].text = blink_original ? "Comparison" : "Current Image";
}

std::string BlinkDialog::caption() const {
    return blink_original ? "Blinking:- Current Image" : "Blinking:- Comparison";
}

void blink_comparison(Program& p) {
    if (p.measure.blinking) return;
    p.measure.blinking = 1;
    open_measure_window<BlinkDialog>(p, p.measure.windows.blink);
}

void blink_show_original(Program& p) {
    image_prepare(p);
}

void blink_show_comparison(Program& p) {
    DisplayState& d = p.display;
    d.blink_it = 1;
    setup_image(p, p.buf->comparison_int, d.pixels_c, 0, d.Geo);
    image_prepare(p);
    d.blink_it = 0;
}

}  // namespace kvr
