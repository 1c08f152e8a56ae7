#include "scope/filter_wheel.h"

#include "core/messages.h"
#include "core/program.h"
#include "scope/drive_commands.h"

namespace kvr {

namespace {
constexpr int kMaxFilterSlots = 8;
constexpr uint8_t kWheelHeader = 0xA5;
constexpr uint8_t kWheelMove = 0x01;
constexpr int kWheelCommandBytes = 4;

// Max_Filters comes from the settings file; it indexes eight names at most.
int filter_count(const Program& p) {
    const int n = p.settings.Max_Filters;
    return n < 1 || n > kMaxFilterSlots ? kMaxFilterSlots - 1 : n;
}
}  // namespace

int filter_wheel_port(Program& p) {
    p.settings.filter_wheel_comport = p.settings.slewcom == '2' ? 0 : 1;
    return p.settings.filter_wheel_comport;
}

bool change_filterbox_filter(Program& p) {
    const int n = p.scope.Filterbox_Filter;
    if (n < 1 || n > filter_count(p)) {
        message50f(p, "Filter %d cannot be selected: the wheel has filters 1 to %d", n,
                   filter_count(p));
        return false;
    }
    // The last byte is the 8-bit sum of the first three.
    const uint8_t number = static_cast<uint8_t>(n);
    const char command[kWheelCommandBytes + 1] = {
        static_cast<char>(kWheelHeader), static_cast<char>(kWheelMove), static_cast<char>(number),
        static_cast<char>(kWheelHeader + kWheelMove + number), 0};
    return camera_serial_write(p, filter_wheel_port(p), command, kWheelCommandBytes);
}

void filter_first(Program& p) {
    p.scope.Filterbox_Filter = 1;
    change_filterbox_filter(p);
}

void filter_next(Program& p) {
    const int n = p.scope.Filterbox_Filter + 1;
    p.scope.Filterbox_Filter = static_cast<uint16_t>(n > filter_count(p) ? 1 : n);
    change_filterbox_filter(p);
}

void filter_previous(Program& p) {
    const int n = p.scope.Filterbox_Filter - 1;
    p.scope.Filterbox_Filter = static_cast<uint16_t>(n < 1 ? filter_count(p) : n);
    change_filterbox_filter(p);
}

}  // namespace kvr
