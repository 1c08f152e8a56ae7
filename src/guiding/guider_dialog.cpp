#include "guiding/guider_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "camera/readout.h"
#include "core//host.h"
#include "core/messages.h"
#include "core/program.h"
#include "display/guider_picture.h"
#include "display/pointer_readout.h"
#include "files/settings_file.h"
#include "guiding/centroid.h"
#include "guiding/guider_guiding.h"
#include "guiding/guider_sequencer.h"
#include "guiding/star_signal.h"
#include "guiding/training.h"
#include "scope/ao_unit.h"
#include "scope/drive_commands.h"

namespace kvr {

namespace {

using namespace gd;
using Kind = ControlEvent::Kind;

constexpr int kMinStretch = 5, kMaxStretch = 50;
constexpr int kPictureWidth = 500, kPictureHeight = 290;
constexpr int kSnapPasses = 3;
// A manual AO move from the dialog: steps (serial) or ms (relays).
constexpr int kManualAoMove = 100;
constexpr const char* kUseDefaultCaption = "Use Default";
constexpr const char* kBadDefaults =
    "Please enter whole numbers: rates of 1 or more, backlash of 0 or more";

struct ExposureRange {
    int id;
    uint16_t max;
    uint16_t value;
    char range;
};
constexpr ExposureRange kRanges[] = {
    {kHundredths, 500, 5, 'h'}, {kTenths, 100, 5, 't'}, {kSeconds, 10, 1, 's'}};

std::string two_decimals(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

// The whole text as a number (an angle may have decimals), or nothing.
std::optional<double> number(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    while (*end == ' ') ++end;
    if (*end != '\0') return std::nullopt;
    return v;
}

void save_settings(Program& p) {
    save_ini_file(p, p.settings.ini_file);
}

// The label and state of a Use Default button pressed: back to the defaults when the trained
// values are in use, to the trained values when there are any, else the defaults stay.
std::string use_default_pressed(int trained, int& use_trained) {
    if (trained && use_trained) {
        use_trained = 0;
        return "Use Trained";
    }
    use_trained = trained ? 1 : 0;
    return "Use Defaults";
}

const char* using_text(int use_trained) {
    return use_trained ? "Using Trained Vals" : "Using Default Vals";
}

void toggle(int& flag) {
    flag = flag ? 0 : 1;
}

}  // namespace

void GuiderDialog::init() {
    caption_ = res_.caption;
    use_label_ = ao_use_label_ = kUseDefaultCaption;
    edits_.clear();
    point_guider_buffers(p_);
}

const Canvas* GuiderDialog::drawing(int control_id) const {
    if (control_id != kPicture) return nullptr;
    draw_picture();
    return &picture_;
}

void GuiderDialog::draw_picture() const {
    const GuideState& g = p_.guide;
    picture_.resize(kPictureWidth, kPictureHeight);
    if (g.guided_image) draw_guider_picture(p_, picture_, 0, 0);
    constexpr Argb kCross = argb(0, 255, 0);
    constexpr Argb kTrainingMark = argb(255, 255, 0);
    constexpr int kArm = 10;
    if (g.guider_picked_star) {
        const int x = g.guider_pick_xcent, y = g.guider_pick_ycent;
        picture_.line(x - kArm, y, x + kArm + 1, y, kCross);
        picture_.line(x, y - kArm, x, y + kArm + 1, kCross);
    }
    // A training in progress shows the positions recorded so far.
    if (g.guider_training) {
        const GuiderTrainingPositions& pos = g.guider_positions;
        for (int i = 0; i <= g.guider_training_pos && i < GuiderTrainingPositions::kPositions; ++i)
            picture_.frame_rect(pos.x[i] - 2, pos.y[i] - 2, pos.x[i] + 3, pos.y[i] + 3,
                                kTrainingMark);
    }
}

void GuiderDialog::redraw() {
    p_.host.refresh_dialog(*this);
}

void GuiderDialog::handle(const ControlEvent& e) {
    switch (e.kind) {
        case Kind::Mouse:
            if (e.id == kPicture) mouse(e);
            return;
        case Kind::Scroll:
            scroll(e);
            return;
        case Kind::TextEdited:
            edits_[e.id] = e.text;
            return;
        case Kind::Click:
        case Kind::Toggle:
            click(e.id);
            return;
    }
}

void GuiderDialog::exposure_range(int id) {
    GuideState& g = p_.guide;
    for (const ExposureRange& r : kRanges) {
        if (r.id != id) continue;
        g.max_guider_exp = r.max;
        g.exp_guider_value = r.value;
        g.exp_guider_range = r.range;
    }
}

void GuiderDialog::stretch_scroll(const ControlEvent& e) {
    int& s = p_.guide.guider_stretch;
    switch (e.scroll) {
        case ScrollCode::LineUp:
            if (s > kMinStretch) --s;
            break;
        case ScrollCode::LineDown:
            if (s < kMaxStretch) ++s;
            break;
        case ScrollCode::PageUp:
            s = kMinStretch;
            break;
        case ScrollCode::PageDown:
            s = kMaxStretch;
            break;
        case ScrollCode::ThumbPosition:
            s = std::clamp(e.position, kMinStretch, kMaxStretch);
            break;
        case ScrollCode::EndScroll:
            break;
    }
}

void GuiderDialog::scroll(const ControlEvent& e) {
    GuideState& g = p_.guide;
    switch (e.id) {
        case kExposureBar:
            if (e.scroll == ScrollCode::LineDown && g.exp_guider_value < g.max_guider_exp)
                ++g.exp_guider_value;
            if (e.scroll == ScrollCode::LineUp && g.exp_guider_value > g.min_guider_exp)
                --g.exp_guider_value;
            return;
        case kStretchBar:
            stretch_scroll(e);
            return;
        case kMoveEastWest:
            manual_move(e, 'w', 'e');
            return;
        case kMoveNorthSouth:
            manual_move(e, 'n', 's');
            return;
        default:
            return;
    }
}

void GuiderDialog::manual_move(const ControlEvent& e, char up_direction, char down_direction) {
    ScopeState& s = p_.scope;
    if (e.scroll == ScrollCode::EndScroll) {
        stop_manual_move();
        return;
    }
    if (e.scroll != ScrollCode::LineUp && e.scroll != ScrollCode::LineDown) return;
    const char direction = e.scroll == ScrollCode::LineUp ? up_direction : down_direction;
    if (p_.settings.GuiderMode != 'T') {
        s.AOUnitslewdir = mapped_direction(p_, direction);
        s.AOUnitslew_time = kManualAoMove;
        ao_unit_move(p_);
        return;
    }
    if (s.tele_moving) return;
    // Set first: a message box during the send runs events, and a held arrow repeats.
    s.tele_moving = 1;
    if (s.telescope == 'b') {
        s.slewdir = mapped_direction(p_, direction);
        box_start_move(p_);
    } else {
        set_move_direction(p_, direction);
        start_move(p_);
    }
}

void GuiderDialog::stop_manual_move() {
    ScopeState& s = p_.scope;
    if (!s.tele_moving) return;
    if (s.telescope == 'b')
        box_stop_move(p_);
    else
        stop_move(p_);
    s.tele_moving = 0;
}

void GuiderDialog::mouse(const ControlEvent& e) {
    GuideState& g = p_.guide;
    const bool inside = e.x >= 0 && e.y >= 0 && e.x < kPictureWidth && e.y < kPictureHeight;
    if (e.button == 0) {
        // The pointer readout: the pixel under the pointer, its display level.
        const std::optional<PixelReadout> under = guider_picture_pixel(p_, e.x, e.y);
        p_.host.show_pointer(under ? pixel_readout_text(*under) : std::string());
        if (!inside) return;
        g.guiderwrk_x = static_cast<uint16_t>(e.x);
        g.guiderwrk_y = static_cast<uint16_t>(e.y);
        g.guiderwrk_val = p_.ptr.guider_image[e.y * kGuiderWidth + e.x] >> 8;
        return;
    }
    stop_manual_move();
    if (g.guider_pick_star) pick_star(e.x, e.y);
}

void GuiderDialog::pick_star(int x, int y) {
    GuideState& g = p_.guide;
    // Nothing to centre on before the first guider frame.
    if (!g.guided_image) {
        messages(p_, Msg::TakeImageAndPickStar);
        return;
    }
    // Every pick measures with the guide-star box, whatever a photometry click left in cur_rad.
    g.cur_rad = p_.settings.star_mask;
    const int r = g.cur_rad;
    if (x < r || x > kPictureWidth - r || y < r || y > kPictureHeight - r) {
        messages(p_, Msg::OutsideImage);
        return;
    }
    for (int pass = 0; pass < kSnapPasses; ++pass) {
        // A box leaving the frame has shown its message: the pick stays open for another try.
        if (guider_find_centre(p_, x, y, guider_measure_frame(p_), r) != 0) return;
        x = g.guider_xcent;
        y = g.guider_ycent;
    }
    // The guider centroid finds a centre in any box, sky too: a click on empty sky is refused.
    if (!holds_star(measure_star(guider_measure_frame(p_), kGuiderWidth, kGuiderHeight, x, y, r))) {
        MessageBox box;
        box.caption = kGuiderCentreCaption;
        box.text = kNothingFoundText;
        p_.host.message_box(box);
        return;
    }
    g.guider_picked_star = 1;
    g.guider_pick_xcent = x;
    g.guider_pick_ycent = y;
    redraw();
    message50f(p_, "x position = %5d\ny position = %5d", x, y);
    g.guider_pick_star = 0;
}

void GuiderDialog::change_defaults() {
    SettingsState& s = p_.settings;
    int* targets[] = {&s.guider_slewx, &s.guider_slewy, &s.guider_backlashx, &s.guider_backlashy};
    int values[4];
    for (int i = 0; i < 4; ++i) {
        const auto typed = edits_.find(kDefaultEdits + i);
        const std::optional<int> v =
            typed == edits_.end() ? *targets[i] : whole_number(typed->second);
        // Rates divide the guide errors: 0 would stop guiding with a division by zero.
        if (!v || *v < (i < 2 ? 1 : 0)) {
            message50(p_, kBadDefaults);
            return;
        }
        values[i] = *v;
    }
    const auto angle_edit = edits_.find(kDefaultEdits + 4);
    const std::optional<double> angle =
        angle_edit == edits_.end() ? s.guider_theta : number(angle_edit->second);
    if (!angle) {
        message50(p_, kBadDefaults);
        return;
    }
    for (int i = 0; i < 4; ++i) *targets[i] = values[i];
    s.guider_theta = static_cast<float>(*angle);
    for (int i = 0; i < 5; ++i) edits_.erase(kDefaultEdits + i);
    save_settings(p_);
}

void GuiderDialog::change_ao_defaults() {
    SettingsState& s = p_.settings;
    int* targets[] = {&s.AOUnit_slewx, &s.AOUnit_slewy};
    int values[2];
    for (int i = 0; i < 2; ++i) {
        const auto typed = edits_.find(kAoDefaultX + i);
        const std::optional<int> v =
            typed == edits_.end() ? *targets[i] : whole_number(typed->second);
        if (!v || *v < 1) {
            message50(p_, kBadDefaults);
            return;
        }
        values[i] = *v;
    }
    for (int i = 0; i < 2; ++i) {
        *targets[i] = values[i];
        edits_.erase(kAoDefaultX + i);
    }
    save_settings(p_);
}

void GuiderDialog::train(bool ao) {
    TrainingView view;
    view.caption = [this](std::string_view caption) {
        caption_ = caption;
        redraw();
    };
    view.redraw = [this] { redraw(); };
    if (ao)
        ao_train(p_, view);
    else
        guider_train(p_, view);
}

void GuiderDialog::click(int id) {
    GuideState& g = p_.guide;
    SettingsState& s = p_.settings;
    switch (id) {
        case kHundredths:
        case kTenths:
        case kSeconds:
            exposure_range(id);
            return;
        case kStart:
            guider_preview(p_, [this] { redraw(); });
            return;
        case kStop:
            p_.run.stopit = 1;
            return;
        case kPause:
            toggle(g.guider_exposure_delay);
            return;
        case kSelectStar:
            g.guider_pick_star = 1;
            return;
        case kTrain:
        case kAoTrain:
            train(id == kAoTrain);
            return;
        case kUseDefault:
            use_label_ = use_default_pressed(g.guider_trained, g.guider_use_trained);
            return;
        case kAoUseDefault:
            ao_use_label_ = use_default_pressed(g.AOUnit_trained, g.AOUnit_use_trained);
            return;
        case kChangeDefaults:
            change_defaults();
            return;
        case kSaveLatest:
            s.guider_slewx = g.RA_rate;
            s.guider_slewy = g.Dec_rate;
            s.guider_backlashx = g.RA_backlash;
            s.guider_backlashy = g.Dec_backlash;
            s.guider_theta = g.theta;
            save_settings(p_);
            return;
        case kIgnoreBacklash:
            toggle(s.ignore_backlash);
            return;
        case kIgnoreRaAngle:
            toggle(s.ignore_RA_angle);
            return;
        case kTakeDark:
            take_guider_darkframe(p_);
            return;
        case kApplyDark:
            g.guider_use_darkframe = g.guider_darkframe_loaded && !g.guider_use_darkframe;
            return;
        case kMedian:
            toggle(g.guider_use_median);
            return;
        case kStretchImages:
            toggle(g.guider_max_stretch);
            return;
        case kAoChangeDefaults:
            change_ao_defaults();
            return;
        case kAoSaveLatest:
            s.AOUnit_slewx = s.AOUnit_xrate;
            s.AOUnit_slewy = s.AOUnit_yrate;
            save_settings(p_);
            return;
        case kCentraliseAo:
            centralise_ao_unit(p_);
            return;
        case kHelp:
            p_.host.show_help();
            return;
        case kGoMainCamera:
        case kStartGuiding:
        case kIdcCancel:
        case kIdcOk:
            stop_manual_move();
            p_.run.stopit = 1;
            if (id == kGoMainCamera) p_.run.start_maincam = 1;
            if (id == kStartGuiding) g.start_guider = 1;
            end(id == kIdcCancel ? kIdCancel : kIdOk);
            return;
        default:
            break;
    }
    // The stored choices below are written to the settings file at once.
    switch (id) {
        case kSwapNorthSouth:
            std::swap(s.n, s.s);
            break;
        case kSwapEastWest:
            std::swap(s.e, s.w);
            break;
        case kSwapAoUpDown:
            std::swap(s.AOn, s.AOs);
            break;
        case kSwapAoLeftRight:
            std::swap(s.AOe, s.AOw);
            break;
        case kSwapMountNorthSouth:
            std::swap(s.Mn, s.Ms);
            break;
        case kSwapMountEastWest:
            std::swap(s.Mt, s.Mw);
            break;
        case kSer1:
            s.AOUnit_comport = 1;
            break;
        case kSer2:
            s.AOUnit_comport = 0;
            break;
        case kPc:
            s.AOUnit_comport = 3;
            break;
        case kAoMode:
            toggle(s.AOUnitModeParallel);
            break;
        case kGuidingMode:
            s.GuiderMode = s.GuiderMode == 'T' ? 'A' : 'T';
            break;
        default:
            return;
    }
    save_settings(p_);
}

void GuiderDialog::render(DialogView& view) const {
    const GuideState& g = p_.guide;
    const SettingsState& s = p_.settings;
    for (const ExposureRange& r : kRanges) view[r.id].checked = g.exp_guider_range == r.range;
    view[kExposureEdit].text = std::to_string(g.exp_guider_value);
    ControlState& exposure_bar = view[kExposureBar];
    exposure_bar.min = g.min_guider_exp;
    exposure_bar.max = g.max_guider_exp;
    exposure_bar.pos = g.exp_guider_value;
    ControlState& stretch_bar = view[kStretchBar];
    stretch_bar.min = kMinStretch;
    stretch_bar.max = kMaxStretch;
    stretch_bar.pos = g.guider_stretch;
    view[kStretchEdit].text = std::to_string(g.guider_stretch);
    view[kPause].checked = g.guider_exposure_delay != 0;
    view[kPicture].cross_cursor = g.guider_pick_star != 0;
    view[kApplyDark].checked = g.guider_use_darkframe != 0;
    view[kMedian].checked = g.guider_use_median != 0;
    view[kStretchImages].checked = g.guider_max_stretch != 0;
    view[kDarkEdit].text = g.guider_use_darkframe      ? "darkframe being used"
                           : g.guider_darkframe_loaded ? "darkframe available"
                                                       : "No darkframe has been taken";
    view[kPointerX].text = std::to_string(g.guiderwrk_x);
    view[kPointerY].text = std::to_string(g.guiderwrk_y);
    view[kPointerValue].text = std::to_string(g.guiderwrk_val);
    view[kPickX].text = std::to_string(g.guider_pick_xcent);
    view[kPickY].text = std::to_string(g.guider_pick_ycent);

    const int defaults[] = {s.guider_slewx, s.guider_slewy, s.guider_backlashx, s.guider_backlashy};
    for (int i = 0; i < 4; ++i) view[kDefaultEdits + i].text = five_wide(defaults[i]);
    view[kDefaultEdits + 4].text = two_decimals(s.guider_theta);
    const int latest[] = {g.RA_rate, g.Dec_rate, g.RA_backlash, g.Dec_backlash};
    for (int i = 0; i < 4; ++i) view[kLatestEdits + i].text = five_wide(latest[i]);
    view[kLatestEdits + 4].text = two_decimals(g.theta);
    view[kAoDefaultX].text = five_wide(s.AOUnit_slewx);
    view[kAoDefaultY].text = five_wide(s.AOUnit_slewy);
    view[kAoTrainedX].text = five_wide(s.AOUnit_xrate);
    view[kAoTrainedY].text = five_wide(s.AOUnit_yrate);
    // What the user is typing stays until a Change Defaults button takes it.
    for (const auto& [id, text] : edits_) view[id].text = text;

    view[kUseDefault].text = use_label_;
    view[kAoUseDefault].text = ao_use_label_;
    view[kUsingEdit].text = using_text(g.guider_use_trained);
    view[kAoUsingEdit].text = using_text(g.AOUnit_use_trained);
    view[kIgnoreBacklash].checked = s.ignore_backlash != 0;
    view[kIgnoreRaAngle].checked = s.ignore_RA_angle != 0;
    view[kSwapNorthSouth].checked = s.n == 's';
    view[kSwapEastWest].checked = s.e == 'w';
    view[kSwapAoUpDown].checked = s.AOn == 's';
    view[kSwapAoLeftRight].checked = s.AOe == 'w';
    view[kSwapMountNorthSouth].checked = s.Mn == 'S';
    view[kSwapMountEastWest].checked = s.Mt == 'W';
    view[kSer1].checked = s.AOUnit_comport == 1;
    view[kSer2].checked = s.AOUnit_comport == 0;
    view[kPc].checked = s.AOUnit_comport == 3;
    view[kAoModeEdit].text = s.AOUnitModeParallel ? "Parallel" : "Serial";
    view[kGuidingModeEdit].text = s.GuiderMode == 'T' ? "Telescope Drives" : "AO Unit";
}

}  // namespace kvr
