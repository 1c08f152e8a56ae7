#include "acquire/camera_dialog.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "acquire/exposure_units.h"
#include "core/drive_paths.h"
#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/bmp_file.h"
#include "scope/drive_link.h"
#include "scope/filter_wheel.h"

namespace kvr {

namespace {

constexpr int kMaxImages = 99;
constexpr int kMaxPauseMinutes = 20;
constexpr int kMinStretch = 1;
constexpr int kMaxStretch = 50;

constexpr const char* kHelpCaption = "KVR_Q4 - Control QX Camera";
constexpr const char* kHelpText =
    "Choose the exposure range (thousandths, hundredths, tenths of a second, seconds or "
    "minutes), then the value with the arrows or by typing it. Take Photo starts the exposure: "
    "one frame, or the number of exposures chosen, which are registered on the picked star and "
    "added together. Continuous Mode repeats until a key or mouse button is pressed, with the "
    "chosen pause between frames. Series Exposure takes five exposures, each four times the "
    "last. Focus Mode Start reads a 128 x 128 window again and again and shows its peak value "
    "and width; Stop, a key or a mouse click ends it. The calibration boxes subtract the dark "
    "frame and divide by the flat field chosen in the File menu.";

// A whole number above 0 (digits only); 0 for anything else.
int positive_number(const std::string& text) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto r = std::from_chars(text.data(), end, v);
    return r.ec == std::errc() && r.ptr == end && v > 0 ? v : 0;
}

char range_of(int id) {
    switch (id) {
        case kv::kRangeThousandths:
            return 'q';
        case kv::kRangeHundredths:
            return 'h';
        case kv::kRangeTenths:
            return 't';
        case kv::kRangeMinutes:
            return 'm';
        default:
            return 's';
    }
}

}  // namespace

CameraDialog::CameraDialog(Program& p) : DialogModel(p, camera_dialog_resource()) {
    load_thumbnail();
}

void CameraDialog::init() {
    p_.run.stopit = 1;
    p_.run.max_value = 0;
    p_.run.max_exp = range_limit(p_.run.exp_range);
    exposure_text_ = std::to_string(p_.run.exp_value);
    load_thumbnail();
}

void CameraDialog::show_values() {
    RunState& r = p_.run;
    const int typed = positive_number(exposure_text_);
    if (typed > 0 && typed < r.max_exp && not_pressed) r.exp_value = typed;
    exposure_text_ = std::to_string(r.exp_value);
    not_pressed = 1;
    p_.host.refresh_dialog(*this);
}

void CameraDialog::choose_range(char range) {
    RunState& r = p_.run;
    not_pressed = 0;
    r.exp_range = range;
    r.exp_value = range_start_value(range);
    r.max_exp = range_limit(range);
    show_values();
    not_pressed = 1;
}

void CameraDialog::choose_mode(int id) {
    Readout& ro = p_.readout;
    ro.binned = id == kv::kModeBinned;
    ro.binned21 = id == kv::kModeBinned21;
    ro.highres_intl = id == kv::kModeInterlaced;
    ro.highres_nonintl = id == kv::kModeNonInterlaced;
    p_.guide.selfguiding = 0;
}

// The check boxes that toggle a global; false for any other control.
bool CameraDialog::toggle(int id) {
    RunState& r = p_.run;
    SettingsState& s = p_.settings;
    int* flag = nullptr;
    switch (id) {
        case kv::kContinuous:
            flag = &r.continuous;
            break;
        case kv::kExposureDelay:
            flag = &s.exposure_delay;
            break;
        case kv::kAltSlew:
            flag = &r.slew_sum_alt;
            break;
        case kv::kAverage:
            flag = &r.slew_sum_average;
            break;
        case kv::kAutoSave:
            flag = &s.auto_save_fits;
            break;
        case kv::kDarkRemove:
            flag = &s.darkframe_remove;
            break;
        case kv::kFlatApply:
            flag = &s.flatfield_remove;
            break;
        case kv::kSeries:
            flag = &r.series_exposure;
            break;
        case kv::kAutoExposure:
            flag = &r.auto_exposure;
            break;
        case kv::kFocusWait:
            flag = &r.focus_wait;
            break;
        default:
            return false;
    }
    *flag = !*flag;
    // A series is saved as it goes; switching the series off leaves saving on.
    if (id == kv::kSeries && r.series_exposure) s.auto_save_fits = 1;
    return true;
}

void CameraDialog::spin(const ControlEvent& e) {
    auto step = [&e](int& value, int lowest, int highest) {
        if (e.scroll == ScrollCode::LineDown && value < highest) ++value;
        if (e.scroll == ScrollCode::LineUp && value > lowest) --value;
    };
    RunState& r = p_.run;
    switch (e.id) {
        case kv::kExposureSpin:
            not_pressed = 0;
            step(r.exp_value, r.min_exp, r.max_exp);
            show_values();
            not_pressed = 1;
            return;
        case kv::kImagesSpin:
            step(r.no_images, 1, kMaxImages);
            break;
        case kv::kPauseSpin:
            step(p_.settings.continuous_delay, 0, kMaxPauseMinutes);
            break;
        case kv::kStretchSpin: {
            int& stretch = p_.display.focus_stretch;
            step(stretch, kMinStretch, kMaxStretch);
            if (e.scroll == ScrollCode::PageUp) stretch = kMinStretch;
            if (e.scroll == ScrollCode::PageDown) stretch = kMaxStretch;
            if (e.scroll == ScrollCode::ThumbPosition)
                stretch = std::clamp(e.position, kMinStretch, kMaxStretch);
            break;
        }
        default:
            return;
    }
    show_values();
}

void CameraDialog::take_photo() {
    const int typed = positive_number(exposure_text_);
    if (typed <= 0) return;
    p_.run.exp_value = typed;
    end(kIdOk);
}

void CameraDialog::autoguide_photo() {
    GuideState& g = p_.guide;
    if (g.guider_guiding_standalone) {
        messages(p_, Msg::AlreadyGuidingExternally);
        return;
    }
    if (g.guider_picked_star && !g.selfguiding) g.guider_guiding = 1;
    take_photo();
}

void CameraDialog::go_to_autoguider() {
    if (p_.guide.guider_guiding_standalone) {
        messages(p_, Msg::AlreadyGuidingExternally);
        return;
    }
    if (p_.scope.telescope == 'n') {
        message50(p_, "Please select a telescope drive method before using autoguider");
        return;
    }
    p_.run.start_autoguidercam = 1;
    end(kIdCancel);
}

namespace {

// A self-guide exposure must be shorter than 12 s.
bool short_enough_to_selfguide(char range, int value) {
    switch (range) {
        case 'q':
            return value < 12000;
        case 'h':
            return value < 1200;
        case 't':
            return value < 120;
        case 's':
            return value < 12;
        default:
            return false;
    }
}

// Both self-guide boxes start here: without a guide interface box, make sure the drive link is
// checked.
void check_drive_link(Program& p) {
    if (p.settings.gotcontrolbox || p.scope.comfound) return;
    p.scope.comfound = p.scope.telescope == 'b' ? interface_check(p) : drive_check(p);
    interface_cr(p);
    if (!p.scope.comfound) close_drive(p);
}

// The frame-switch flags of a self-guided run, by readout mode.
void set_frame_switch(Program& p) {
    RunState& r = p.run;
    const Readout& ro = p.readout;
    r.selfguidinghigh = ro.binned21 || ro.highres_nonintl;
    r.selfguiding21 = ro.binned21;
    r.switch_frame = ro.binned21 || ro.highres_nonintl;
}

}  // namespace

// Self-guide (135) and matching dark (138) check boxes. Runs that self-guide are refused by the
// sequencer until the guide loop exists; the boxes themselves behave as the dialog always has.
void CameraDialog::self_guide_box(int id) {
    RunState& r = p_.run;
    GuideState& g = p_.guide;
    check_drive_link(p_);
    if (g.guider_guiding_standalone) {
        messages(p_, Msg::AlreadyGuidingExternally);
        return;
    }
    if (id == kv::kMatchingDark) {
        r.selfguiding_darkframe = !r.selfguiding_darkframe;
        if (r.selfguiding_darkframe) {
            r.darkframes = r.selfguidingframes;
            g.selfguiding = 1;
            set_frame_switch(p_);
        } else {
            g.selfguiding = 0;
        }
        return;
    }
    if (g.selfguiding) {
        g.selfguiding = 0;
        return;
    }
    if (short_enough_to_selfguide(r.exp_range, r.exp_value)) {
        r.selfguiding_exp_range = r.exp_range;
        r.selfguiding_exp_value = r.exp_value;
    } else if (!short_enough_to_selfguide(r.selfguiding_exp_range, r.selfguiding_exp_value)) {
        p_.host.beep();
        return;
    }
    g.selfguiding = 1;
    Readout& ro = p_.readout;
    if (ro.highres_intl) {
        ro.highres_intl = 0;
        ro.highres_nonintl = 1;
        p_.host.beep();
    }
    set_frame_switch(p_);
}

void CameraDialog::handle(const ControlEvent& e) {
    handle_event(e);
    load_thumbnail();
}

void CameraDialog::handle_event(const ControlEvent& e) {
    using Kind = ControlEvent::Kind;
    if (e.kind == Kind::TextEdited) {
        if (e.id == kv::kExposureEdit) exposure_text_ = e.text;
        return;
    }
    if (e.kind == Kind::Scroll) {
        spin(e);
        return;
    }
    if (e.kind != Kind::Click && e.kind != Kind::Toggle) return;
    switch (e.id) {
        case kv::kTakePhoto:
            take_photo();
            return;
        case kv::kAutoGuidePhoto:
            autoguide_photo();
            return;
        case kv::kGoToAutoguider:
            go_to_autoguider();
            return;
        case kv::kCancel:
            end(kIdCancel);
            return;
        case kv::kHelp: {
            MessageBox box;
            box.caption = kHelpCaption;
            box.text = kHelpText;
            p_.host.message_box(box);
            return;
        }
        case kv::kFocusStart:
            run_focus_mode();
            break;
        case kv::kFocusStop:
            p_.run.stopit = 1;
            break;
        case kv::kFilterFirst:
            filter_first(p_);
            break;
        case kv::kFilterNext:
            filter_next(p_);
            break;
        case kv::kFilterPrev:
            filter_previous(p_);
            break;
        case kv::kSelfGuide:
        case kv::kMatchingDark:
            self_guide_box(e.id);
            break;
        case kv::kRangeThousandths:
        case kv::kRangeHundredths:
        case kv::kRangeTenths:
        case kv::kRangeSeconds:
        case kv::kRangeMinutes:
            choose_range(range_of(e.id));
            return;
        case kv::kModeBinned:
        case kv::kModeBinned21:
        case kv::kModeInterlaced:
        case kv::kModeNonInterlaced:
            choose_mode(e.id);
            break;
        default:
            if (!toggle(e.id)) return;
            break;
    }
    show_values();
}

namespace {

std::string camera_mode_text(const Program& p) {
    if (p.run.continuous) return p.run.no_images == 1 ? "Continuous Imaging" : "Series Imaging";
    if (p.guide.selfguiding) return "Selfguide Next Image";
    return p.run.no_images == 1 ? "Single Image" : "Auto Merging";
}

std::string guider_camera_text(const Program& p) {
    if (!p.guide.got_guidercam) return "Guider Camera not detected";
    return p.guide.guider_guiding_standalone ? "Already Autoguiding" : "Guider Camera available";
}

std::string self_guide_resolution(const Program& p) {
    if (p.run.selfguiding21 == 1) return "High Resolution  - Fast";
    if (p.run.selfguidinghigh == 1) return "High Resolution  - Interlaced";
    return "Normal Resolution";
}

std::string filter_name(const Program& p) {
    const int n = p.scope.Filterbox_Filter;
    if (n < 1 || n > kFilterNames) return {};
    return p.settings.Filterbox_Filter_Name[n - 1];
}

}  // namespace

void CameraDialog::render(DialogView& v) const {
    const RunState& r = p_.run;
    const Readout& ro = p_.readout;
    const SettingsState& s = p_.settings;
    auto text = [&v](int id, const std::string& t) { v[id].text = t; };
    auto number = [&v](int id, long long n) { v[id].text = std::to_string(n); };
    auto check = [&v](int id, int flag) { v[id].checked = flag != 0; };
    auto bar = [&v](int id, int highest, int pos) {
        v[id].min = 0;
        v[id].max = highest;
        v[id].pos = pos;
    };

    text(kv::kCameraMode, camera_mode_text(p_));
    text(kv::kGuiderCamera, guider_camera_text(p_));
    bar(kv::kExposureSpin, r.max_exp, r.exp_value);
    bar(kv::kImagesSpin, kMaxImages, r.no_images);
    bar(kv::kPauseSpin, kMaxPauseMinutes, s.continuous_delay);
    bar(kv::kStretchSpin, kMaxStretch, p_.display.focus_stretch);
    number(kv::kStretchEdit, p_.display.focus_stretch);
    text(kv::kExposureEdit, exposure_text_);
    number(kv::kImagesEdit, r.no_images);
    number(kv::kPauseEdit, s.continuous_delay);
    number(kv::kMaxValue, ro.max_focus_val);
    number(kv::kFwhm, ro.focus_FWHM);
    render_focus_star(v);
    text(kv::kDarkFile, s.DarkFileName);
    text(kv::kFlatFile, s.FlatFileName);
    number(kv::kLastFileNumber, s.auto_save_num);
    text(kv::kAutoSaveDirectory, s.auto_save_subdir);
    number(kv::kFilterNumber, p_.scope.Filterbox_Filter);
    text(kv::kFilterName, filter_name(p_));

    for (int id = kv::kRangeThousandths; id <= kv::kRangeMinutes; ++id)
        check(id, range_of(id) == r.exp_range);
    check(kv::kModeBinned, ro.binned);
    check(kv::kModeBinned21, ro.binned21);
    check(kv::kModeInterlaced, ro.highres_intl);
    check(kv::kModeNonInterlaced, ro.highres_nonintl);
    check(kv::kContinuous, r.continuous);
    check(kv::kExposureDelay, s.exposure_delay);
    check(kv::kAltSlew, r.slew_sum_alt);
    check(kv::kAverage, r.slew_sum_average);
    check(kv::kAutoSave, s.auto_save_fits);
    check(kv::kDarkRemove, s.darkframe_remove);
    check(kv::kFlatApply, s.flatfield_remove);
    check(kv::kSeries, r.series_exposure);
    check(kv::kAutoExposure, r.auto_exposure);
    check(kv::kFocusWait, r.focus_wait);
    check(kv::kSelfGuide, p_.guide.selfguiding);
    check(kv::kMatchingDark, r.selfguiding_darkframe);

    const bool self_guide_fields =
        p_.guide.selfguiding || (p_.shell.picked_star && r.selfguiding_exp_value > 0);
    for (int id :
         {kv::kSelfGuideValue, kv::kSelfGuideUnit, kv::kGuiderFrames, kv::kSelfGuideResolution})
        text(id, "");
    if (self_guide_fields) {
        number(kv::kSelfGuideValue, r.selfguiding_exp_value);
        text(kv::kSelfGuideUnit, range_name(r.selfguiding_exp_range));
        number(kv::kGuiderFrames, r.darkframes);
        text(kv::kSelfGuideResolution, self_guide_resolution(p_));
    }
}

}  // namespace kvr

namespace kvr {

void CameraDialog::load_thumbnail() {
    thumbnail_loaded_ = false;
    if (!p_.display.focussed) return;
    BmpImage bmp{thumbnail_pixels_, sizeof thumbnail_pixels_, thumbnail_colours_};
    if (read_bmp8(map_drive_path(p_.drive_root, "c:\\kvr_q4f.bmp"), bmp) != BmpReadResult::Ok)
        return;
    DisplayBitmap picture{thumbnail_pixels_, bmp.width, bmp.height, bmp.stride, thumbnail_colours_};
    thumbnail_.resize(kv::kFocusThumbnailSize, kv::kFocusThumbnailSize);
    thumbnail_.blit(picture, 0, 0);
    thumbnail_loaded_ = true;
}

const Canvas* CameraDialog::drawing(int control_id) const {
    if (control_id == kv::kFocusStarProfile) {
        focus_profile_.resize(kv::kFocusThumbnailSize, kv::kFocusProfileHeight);
        draw_star_profile(focus_star_, focus_profile_, 1, 1, kv::kFocusThumbnailSize - 2,
                          kv::kFocusProfileHeight - 2);
        return &focus_profile_;
    }
    if (control_id != kv::kFocusThumbnail || !thumbnail_loaded_ || !p_.display.focussed)
        return nullptr;
    return &thumbnail_;
}

}  // namespace kvr
