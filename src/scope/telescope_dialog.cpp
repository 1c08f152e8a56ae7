#include "scope/telescope_dialog.h"

#include <cstdio>

#include "core/host.h"
#include "core/program.h"
#include "scope/drive_commands.h"

namespace kvr {

namespace {

using K = ControlKind;
using namespace resource_builders;

constexpr int kRateGroup = 1;
constexpr int kFocusGroup = 2;
constexpr int kMessierLast = 110;
constexpr int kNgcLast = 7815;
// Star numbers of the planets, Mercury … Pluto (the mount has no 903).
constexpr int kPlanetStars[] = {901, 902, 904, 905, 906, 907, 908, 909};

bool is_click(const ControlEvent& e, int id) {
    return (e.kind == ControlEvent::Kind::Click || e.kind == ControlEvent::Kind::Toggle) &&
           e.id == id;
}

}  // namespace

const DialogResource& telescope_dialog_resource() {
    using namespace mt;
    static const DialogResource res = [] {
        DialogResource r;
        r.id = kTelescopeDialogResource;
        r.caption = "KVR_Q4 Move Telescope";
        r.modal = false;
        r.controls = {
            label("Messier Object", 0, 0),
            ctl(kMessierEdit, K::Edit, "", 0, 1),
            label("CNGC Object", 0, 2),
            ctl(kNgcEdit, K::Edit, "", 0, 3),
            ctl(kGotoObject, K::Button, "GoTo Object", 0, 4),
            ctl(kMercury, K::Button, "Mercury", 1, 0),
            ctl(kMercury + 1, K::Button, "Venus", 1, 1),
            ctl(kMercury + 2, K::Button, "Mars", 1, 2),
            ctl(kMercury + 3, K::Button, "Jupiter", 1, 3),
            ctl(kMercury + 4, K::Button, "Saturn", 2, 0),
            ctl(kMercury + 5, K::Button, "Uranus", 2, 1),
            ctl(kMercury + 6, K::Button, "Neptune", 2, 2),
            ctl(kPluto, K::Button, "Pluto", 2, 3),
            label("R.A. hrs", 3, 0),
            ctl(kRaHoursEdit, K::Edit, "", 3, 1),
            label("mins", 3, 2),
            ctl(kRaMinutesEdit, K::Edit, "", 3, 3),
            label("Dec. Deg", 4, 0),
            ctl(kDecDegreesEdit, K::Edit, "", 4, 1),
            label("mins", 4, 2),
            ctl(kDecMinutesEdit, K::Edit, "", 4, 3),
            ctl(kGotoCoordinates, K::Button, "Go To ", 4, 4),
            label("Info from Scope", 5, 0),
            [] {
                ControlDesc c = ctl(kInfoEdit, K::Edit, "", 5, 1, 4);
                c.read_only = true;
                return c;
            }(),
            radio(kSlew, "Slew", kRateGroup, 6, 0),
            radio(kFind, "Find", kRateGroup, 6, 1),
            radio(kCentre, "Centre", kRateGroup, 6, 2),
            radio(kGuide, "Guide", kRateGroup, 6, 3),
            label("West / East", 7, 0),
            bar(kEastWestBar, true, 8, 0, 1, 2),
            label("North / South", 7, 2),
            bar(kNorthSouthBar, false, 8, 2, 2, 1),
            label("Focus", 7, 3),
            bar(kFocusBar, false, 8, 3, 2, 1),
            radio(kFocusFast, "fast", kFocusGroup, 8, 4),
            radio(kFocusSlow, "slow", kFocusGroup, 9, 4),
            ctl(kHelp, K::Button, "Help", 10, 0),
            ctl(kIdcCancel, K::DefaultButton, "Finished", 10, 4),
        };
        return r;
    }();
    return res;
}

const DialogResource& box_dialog_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = kBoxDialogResource;
        r.caption = "Move Telescope";
        r.modal = false;
        r.controls = {
            label("Left", 0, 0),
            bar(cb::kEastWestBar, true, 0, 1, 1, 1),
            label("Right", 0, 2),
            label("Up", 1, 3),
            bar(cb::kNorthSouthBar, false, 2, 3, 1, 1),
            label("Down", 3, 3),
            ctl(kIdcCancel, K::DefaultButton, "Finished", 4, 0),
        };
        return r;
    }();
    return res;
}

void TelescopeDialog::box(const char* text) {
    MessageBox b;
    b.caption = kTelescopeBoxCaption;
    b.text = text;
    p_.host.message_box(b);
}

void TelescopeDialog::goto_object() {
    ScopeState& s = p_.scope;
    s.set_Messier = whole_number(edits_[mt::kMessierEdit]).value_or(0);
    s.set_CNGC = whole_number(edits_[mt::kNgcEdit]).value_or(0);
    s.retchar = '0';
    if (s.set_Messier >= 1 && s.set_Messier <= kMessierLast) {
        move_telescope(p_, 'm', s.set_Messier);
    } else if (s.set_CNGC >= 1 && s.set_CNGC <= kNgcLast) {
        move_telescope(p_, 'c', s.set_CNGC);
    } else {
        box(kObjectOutOfRange);
    }
}

void TelescopeDialog::goto_coordinates() {
    using namespace mt;
    ScopeState& s = p_.scope;
    const auto h = whole_number(edits_[kRaHoursEdit]);
    const auto m = whole_number(edits_[kRaMinutesEdit]);
    const auto d = whole_number(edits_[kDecDegreesEdit]);
    const auto dm = whole_number(edits_[kDecMinutesEdit]);
    const bool valid = h && m && d && dm && *h >= 0 && *h < 24 && *m >= 0 && *m < 60 && *d > -90 &&
                       *d < 90 && *dm >= 0 && *dm < 60;
    if (!valid) {
        box(kInvalidCoordinates);
        return;
    }
    s.set_RAhr = *h;
    s.set_RAmin = *m;
    s.set_Decdeg = *d;
    s.set_Decmin = *dm;
    s.retchar = '0';
    // "-0" degrees with some minutes lies south of the equator.
    const std::string& deg = edits_[kDecDegreesEdit];
    const bool south = *d < 0 || deg.find('-') != std::string::npos;
    move_to_coord(p_, *h, *m, *d, *dm, south);
}

void TelescopeDialog::move_arrow(const ControlEvent& e, char up_direction, char down_direction) {
    ScopeState& s = p_.scope;
    if (e.scroll == ScrollCode::LineUp || e.scroll == ScrollCode::LineDown) {
        if (s.tele_moving) return;
        set_move_direction(p_, e.scroll == ScrollCode::LineUp ? up_direction : down_direction);
        // Set first: a message box during the send runs events, and a held arrow repeats.
        s.tele_moving = 1;
        start_move(p_);
    } else if (e.scroll == ScrollCode::EndScroll && s.tele_moving) {
        stop_move(p_);
        s.tele_moving = 0;
    }
}

void TelescopeDialog::focus_arrow(const ControlEvent& e) {
    ScopeState& s = p_.scope;
    if (e.scroll == ScrollCode::LineUp || e.scroll == ScrollCode::LineDown) {
        if (s.tele_focussing) return;
        std::snprintf(s.focus_direction, sizeof s.focus_direction, "#:F%c#",
                      e.scroll == ScrollCode::LineUp ? '+' : '-');
        s.tele_focussing = 1;
        start_focus(p_);
    } else if (e.scroll == ScrollCode::EndScroll && s.tele_focussing) {
        stop_focus(p_);
        s.tele_focussing = 0;
    }
}

void TelescopeDialog::stop_all() {
    if (p_.scope.tele_moving) stop_move(p_);
    if (p_.scope.tele_focussing) {
        stop_focus(p_);
        p_.scope.tele_focussing = 0;
    }
}

void TelescopeDialog::handle(const ControlEvent& e) {
    using namespace mt;
    ScopeState& s = p_.scope;
    if (e.kind == ControlEvent::Kind::TextEdited) {
        edits_[e.id] = e.text;
    } else if (e.kind == ControlEvent::Kind::Scroll) {
        if (e.id == kEastWestBar) move_arrow(e, 'w', 'e');
        if (e.id == kNorthSouthBar) move_arrow(e, 'n', 's');
        if (e.id == kFocusBar) focus_arrow(e);
    } else if (is_click(e, kGotoObject)) {
        goto_object();
    } else if (e.id >= kMercury && e.id <= kPluto && is_click(e, e.id)) {
        move_telescope(p_, 's', kPlanetStars[e.id - kMercury]);
    } else if (is_click(e, kGotoCoordinates)) {
        goto_coordinates();
    } else if (e.id >= kSlew && e.id <= kGuide && is_click(e, e.id)) {
        static const char* const rates[] = {"#:RS#", "#:RM#", "#:RC#", "#:RG#"};
        std::snprintf(s.tele_speed, sizeof s.tele_speed, "%s", rates[e.id - kSlew]);
    } else if (is_click(e, kFocusFast) || is_click(e, kFocusSlow)) {
        std::snprintf(s.focus_speed, sizeof s.focus_speed, "%s",
                      e.id == kFocusFast ? "#:FF#" : "#:FS#");
    } else if (is_click(e, kHelp)) {
        p_.host.show_help();
    } else if (is_click(e, kIdcCancel) || is_click(e, kIdcOk)) {
        stop_all();
        end(kIdCancel);
    }
}

void TelescopeDialog::render(DialogView& view) const {
    using namespace mt;
    const ScopeState& s = p_.scope;
    for (const auto& [id, text] : edits_) view[id].text = text;
    const char rate = s.tele_speed[3];
    const int rate_id = rate == 'S' ? kSlew : rate == 'M' ? kFind : rate == 'C' ? kCentre : kGuide;
    for (int id = kSlew; id <= kGuide; ++id) view[id].checked = id == rate_id;
    view[kFocusFast].checked = s.focus_speed[3] == 'F';
    view[kFocusSlow].checked = s.focus_speed[3] != 'F';
    // The mount's information on the object, and after it the verdict of a refused go-to.
    std::string info = s.move_error;
    if (s.scope_error[0]) info += (info.empty() ? "" : " - ") + std::string(s.scope_error);
    view[kInfoEdit].text = info;
}

void BoxDialog::handle(const ControlEvent& e) {
    ScopeState& s = p_.scope;
    if (e.kind == ControlEvent::Kind::Scroll &&
        (e.id == cb::kEastWestBar || e.id == cb::kNorthSouthBar)) {
        const bool horizontal = e.id == cb::kEastWestBar;
        if (e.scroll == ScrollCode::LineUp || e.scroll == ScrollCode::LineDown) {
            if (s.tele_moving) return;
            const bool up = e.scroll == ScrollCode::LineUp;
            s.slewdir = mapped_direction(p_, horizontal ? (up ? 'w' : 'e') : (up ? 'n' : 's'));
            s.tele_moving = 1;
            box_start_move(p_);
        } else if (e.scroll == ScrollCode::EndScroll && s.tele_moving) {
            box_stop_move(p_);
            s.tele_moving = 0;
        }
    } else if (is_click(e, kIdcCancel) || is_click(e, kIdcOk)) {
        if (s.tele_moving) {
            box_stop_move(p_);
            s.tele_moving = 0;
        }
        end(kIdCancel);
    }
}

void open_telescope_window(Program& p) {
    ScopeState& s = p.scope;
    auto& window = s.telescope == 'b' ? s.box_dialog : s.telescope_dialog;
    if (!window) {
        if (s.telescope == 'b')
            window = std::make_shared<BoxDialog>(p);
        else
            window = std::make_shared<TelescopeDialog>(p);
    }
    p.host.open_modeless(*window);
}

}  // namespace kvr
