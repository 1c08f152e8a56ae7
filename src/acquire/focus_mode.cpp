// Focus mode of the camera dialog: 128 × 128 focus frames, each measured and shown, with a
// pause between frames, until the Stop button or a left mouse-button press.
#include <cstdio>

#include "acquire/camera_dialog.h"
#include "camera/camera_protocol.h"
#include "camera/readout.h"
#include "core/host.h"
#include "core/program.h"
#include "display/bmp_file.h"
#include "display/display_mapping.h"

namespace kvr {

namespace {

constexpr int kFocusMaxValue = 100;  // focus exposures stay below 100 units (and never minutes)
constexpr uint32_t kFocusDelayMs = 1000;

const char* bitmap_failure_text(int result) {
    switch (result) {
        case kBmpCreateFailed:
            return "Failed to create temp bitmap";
        case kBmpHeaderFailed:
            return "Unable to create temp bitmap file header";
        case kBmpPixelsFailed:
            return "Unable to create temp bitmap file";
        default:
            return nullptr;
    }
}

}  // namespace

void CameraDialog::focus_frame_pass() {
    RunState& r = p_.run;
    p_.host.set_wait_cursor(true);
    const auto peak = camera_read(p_);
    p_.host.set_wait_cursor(false);
    if (!peak) {
        // The camera did not deliver (the link has said why): stop rather than retry blindly.
        r.stopit = 1;
        return;
    }
    r.max_value = *peak;
    // A focus row is one field's row.
    focus_star_ = measure_star_figures(p_.buf->image_int, kFocusSide, kFocusSide, p_.readout.max_x,
                                       p_.readout.max_y, p_.settings.star_mask, kFieldRowInColumns);
    show_values();
    display_image(p_);
    const int written =
        write_bmp(p_, p_.display.pixels_c, p_.display.pixels_bmp, r.focus_mode, p_.display.Geo);
    if (const char* failure = bitmap_failure_text(written)) {
        MessageBox box;
        box.caption = "KVR_Q4";
        box.text = failure;
        p_.host.message_box(box);
    }
    load_thumbnail();
    p_.host.repaint();
}

void CameraDialog::render_focus_star(DialogView& view) const {
    const StarFigures& f = focus_star_;
    for (int id : {kv::kFocusStarPeak, kv::kFocusStarHfd, kv::kFocusStarFwhm})
        view[id].text.clear();
    if (!f.star) return;
    const double scale = arcsec_per_column(p_);
    char text[64];
    std::snprintf(text, sizeof text, "Peak %.0f ADU  SNR %.0f", f.signal.peak, f.signal.snr);
    view[kv::kFocusStarPeak].text = text;
    view[kv::kFocusStarHfd].text = "HFD " + width_text(f.hfd_px, scale);
    view[kv::kFocusStarFwhm].text = "FWHM " + width_text(f.fwhm_px, scale);
}

// Beep, then ask before the next frame or wait a second. False when the user cancels.
bool CameraDialog::focus_pause_pass() {
    p_.host.beep();
    if (p_.run.focus_wait) {
        MessageBox box;
        box.caption = "KVR_Q4 - Focus Mode";
        box.text = "Press OK to take next frame or Cancel to stop focus mode";
        box.buttons = BoxButtons::OkCancel;
        return p_.host.message_box(box) != kIdCancel;
    }
    if (p_.settings.focus_delay) p_.clock.sleep_ms(kFocusDelayMs);
    return true;
}

void CameraDialog::run_focus_mode() {
    RunState& r = p_.run;
    ImagePointers& ptr = p_.ptr;
    ptr.imageptr = ptr.image;
    ptr.image = p_.buf->image_int;
    ptr.charimageptr = reinterpret_cast<uint8_t*>(ptr.image);
    ptr.intimageptr = ptr.image;
    r.stopit = 0;
    r.focus_mode = 0;
    if (r.exp_range == 'm' || r.exp_value >= kFocusMaxValue) return;
    r.focus_mode = 1;
    bool frame_pass = true;
    while (!r.stopit) {
        // Pending events run first; a left mouse-button press among them stops the loop (the
        // Stop button sets stopit through its own handler). Keys go to the dialog: an exposure
        // value typed meanwhile is taken at the next frame.
        const Presses seen = p_.host.pump();
        if (seen.left || seen.other) r.stopit = 1;
        if (r.stopit) break;
        p_.clock.idle(p_.clock.ms());
        if (frame_pass)
            focus_frame_pass();
        else if (!focus_pause_pass())
            r.stopit = 1;
        frame_pass = !frame_pass;
    }
}

}  // namespace kvr
