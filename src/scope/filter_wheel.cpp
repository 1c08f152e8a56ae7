#include "scope/filter_wheel.h"

#include "camera/command_blocks.h"
#include "core/program.h"

namespace kvr {

namespace {
constexpr int kHandledFilters = 7;
constexpr int kMaxFilterSlots = 8;

// Max_Filters comes from the settings file; it indexes eight names at most.
int filter_count(const Program& p) {
    const int n = p.settings.Max_Filters;
    return n < 1 || n > kMaxFilterSlots ? kMaxFilterSlots - 1 : n;
}
}  // namespace

bool change_filterbox_filter(Program& p) {
    const int n = p.scope.Filterbox_Filter;
    if (n < 1 || n > kHandledFilters) return false;
    const char command[5] = {static_cast<char>(0xA5), 0x01, static_cast<char>(n),
                             static_cast<char>(0xA6 + n), 0};
    return WriteSerial(p, p.settings.filter_wheel_comport, command, 4);
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
