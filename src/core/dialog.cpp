#include "core/dialog.h"

#include <charconv>
#include <cstdio>

#include "core/host.h"
#include "core/version.h"

namespace kvr {

const ControlDesc* DialogResource::control(int control_id) const {
    for (const auto& c : controls)
        if (c.id == control_id) return &c;
    return nullptr;
}

DialogView DialogModel::view() const {
    DialogView v;
    for (const auto& c : res_.controls) {
        if (c.id < 0) continue;
        ControlState& s = v[c.id];
        s.text = c.caption;
    }
    render(v);
    return v;
}

namespace resource_builders {

ControlDesc ctl(int id, ControlKind kind, const char* caption, int row, int col, int col_span) {
    return {
        .id = id, .kind = kind, .caption = caption, .row = row, .col = col, .col_span = col_span};
}

ControlDesc label(const char* caption, int row, int col, int col_span) {
    return ctl(-1, ControlKind::Static, caption, row, col, col_span);
}

ControlDesc radio(int id, const char* caption, int group, int row, int col) {
    ControlDesc c = ctl(id, ControlKind::Radio, caption, row, col);
    c.group = group;
    return c;
}

ControlDesc bar(int id, bool horizontal, int row, int col, int row_span, int col_span) {
    ControlDesc c = ctl(id, ControlKind::ScrollBar, "", row, col, col_span);
    c.horizontal = horizontal;
    c.row_span = row_span;
    return c;
}

ControlDesc in_unit(ControlDesc c, const char* unit) {
    c.unit = unit;
    return c;
}

}  // namespace resource_builders

const DialogResource& about_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = 15;
        r.caption = "About KVR_Q4";
        r.modal = true;
        r.controls = {
            {.id = -1, .kind = ControlKind::Static, .caption = kProgramDescription, .row = 0},
            {.id = -1,
             .kind = ControlKind::Static,
             .caption = std::string("Version ") + kProgramVersion,
             .row = 1},
            {.id = kIdcOk, .kind = ControlKind::DefaultButton, .caption = "OK", .row = 2},
        };
        return r;
    }();
    return res;
}

void AboutDialog::handle(const ControlEvent& event) {
    if (event.kind == ControlEvent::Kind::Click && (event.id == kIdcOk || event.id == kIdcCancel))
        end(event.id == kIdcOk ? kIdOk : kIdCancel);
}

std::string one_decimal(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%1.1f", v);
    return text;
}

std::string five_wide(int v) {
    char text[16];
    std::snprintf(text, sizeof text, "%5d", v);
    return text;
}

std::optional<int> whole_number(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(' ');
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin;
    int v = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return v;
}

}  // namespace kvr
