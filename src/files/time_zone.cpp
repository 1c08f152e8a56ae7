#include "files/time_zone.h"

#include <cstdio>

#include "core/program.h"

namespace kvr {

void apply_time_zone(Program& p) {
    std::snprintf(p.settings.time_zone, sizeof p.settings.time_zone, "GMT%d", p.settings.FITS_Diff);
}

std::tm program_local_time(const Program& p, std::time_t t) {
    std::tm out{};
    int hours_behind = 0;
    if (std::sscanf(p.settings.time_zone, "GMT%d", &hours_behind) != 1 || hours_behind < -24 ||
        hours_behind > 24) {
        localtime_r(&t, &out);
        return out;
    }
    const std::time_t shifted = t - static_cast<std::time_t>(hours_behind) * 3600;
    gmtime_r(&shifted, &out);
    return out;
}

}  // namespace kvr
