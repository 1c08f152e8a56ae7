#include "acquire/exposure_units.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace kvr {

namespace {

int scaled(int value, int unit_ms) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{value} * unit_ms, INT_MIN, INT_MAX));
}

}  // namespace

int exposure_ms(int value, char range) {
    switch (range) {
        case 'h':
            return scaled(value, 10);
        case 'm':
            return scaled(value, 60000);
        case 't':
            return scaled(value, 100);
        case 'q':
            return scaled(value, 1);
        default:
            return scaled(value, 1000);
    }
}

int selfguide_exposure_ms(int value, char range) {
    return exposure_ms(value, range == 'm' ? 's' : range);
}

int progress_steps(int value, char range) {
    if (range == 'm' || (range == 's' && value >= 13)) return 20;
    if (range == 's' && value >= 5) return 6;
    return 2;
}

int range_limit(char range) {
    switch (range) {
        case 'q':
            return 1000;
        case 'h':
            return 500;
        case 't':
            return 100;
        case 'm':
            return 90;
        default:
            return 300;
    }
}

int range_start_value(char range) {
    return range == 'q' || range == 'h' ? 5 : 1;
}

const char* range_name(char range) {
    switch (range) {
        case 'q':
            return "thousandths";
        case 'h':
            return "hundredths";
        case 't':
            return "tenths";
        case 'm':
            return "minutes";
        default:
            return "seconds";
    }
}

}  // namespace kvr
