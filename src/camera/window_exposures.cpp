// Timed exposures of the 128 × 128 window (focus loop, main-camera guiding, self-guiding) and the
// focus measurement.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "camera/camera_protocol.h"
#include "camera/command_blocks.h"
#include "camera/readout.h"
#include "core/program.h"
#include "core/waits.h"

namespace kvr {

namespace {

// Window exposures from this long are host-timed (vertical clears sent while waiting).
constexpr int kFocusHostTimedFrom = 1001;
constexpr int kGuideHostWaitFrom = 500;
constexpr int kSelfGuideHostWaitFrom = 1000;

// The part of the window the measurement looks at: rows 12 … 125, columns 5 … 125; the half
// width is looked for from column 3 to column 125.
constexpr int kScanFirstRow = 12;
constexpr int kScanLastRow = 125;
constexpr int kScanFirstColumn = 5;
constexpr int kScanLastColumn = 125;
constexpr int kWidthFirstColumn = 3;
constexpr int kHistogramBins = 256;

int clamp_ms(int64_t ms) {
    return static_cast<int>(std::clamp<int64_t>(ms, 0, INT_MAX));
}

// Waits `duration_ms` for a guide exposure, keeping `ticks` / `endticks` as the wait's marks.
void wait_ms(Program& p, int duration_ms) {
    Readout& r = p.readout;
    r.ticks = p.clock.ms();
    r.endticks = r.ticks + static_cast<uint32_t>(duration_ms);
    guide_exposure_wait(p);
}

}  // namespace

int window_exposure_ms(const Program& p) {
    int unit = 1000;
    switch (p.run.exp_range) {
        case 'h':
            unit = 10;
            break;
        case 't':
            unit = 100;
            break;
        case 'q':
            unit = 1;
            break;
        default:
            break;
    }
    return clamp_ms(int64_t{p.run.exp_value} * unit);
}

std::optional<uint16_t> camera_read(Program& p) {
    Readout& r = p.readout;
    r.exposure = window_exposure_ms(p);
    if (!clear_vertical(p) || !wiper(p)) return std::nullopt;
    r.ticks = p.clock.ms();
    r.endticks = r.ticks + static_cast<uint32_t>(r.exposure);
    if (r.exposure >= kFocusHostTimedFrom) {
        // Keep the vertical registers clear while the host times the exposure.
        WaitOptions o;
        o.presses = WaitPresses::Unseen;
        o.clear = clear_vertical;
        if (timed_wait(p, r.ticks, r.endticks, o).failed) return std::nullopt;
    }
    if (!focus_read(p)) return std::nullopt;
    return measure_focus_window(p);
}

uint16_t measure_focus_window(Program& p) {
    Readout& r = p.readout;
    const uint16_t* window = p.ptr.intimageptr;

    std::fill(std::begin(r.focus_table), std::end(r.focus_table), uint16_t{0});
    uint16_t maximum = 0;
    r.max_x = 0;
    r.max_y = 0;
    for (int y = kScanFirstRow; y <= kScanLastRow; ++y) {
        const uint16_t* row = window + y * kWindowSize;
        const uint16_t* above = row - kWindowSize;
        for (int x = kScanFirstColumn; x <= kScanLastColumn; ++x) {
            const uint16_t v = row[x];
            ++r.focus_table[v >> 8];
            // A lone hot pixel does not count: the pixel above must be brighter too.
            if (v > maximum && above[x] > maximum) {
                maximum = v;
                r.max_x = static_cast<uint16_t>(x);
                r.max_y = static_cast<uint16_t>(y);
            }
        }
    }

    int most_pop = 0;
    for (int b = 1; b < kHistogramBins; ++b) {
        if (r.focus_table[b] > r.focus_table[most_pop]) most_pop = b;
    }
    r.focus_most_pop = static_cast<uint16_t>(most_pop);
    r.focus_most_pop_val = r.focus_table[most_pop];

    const int background = most_pop * 256;
    r.focus_FWHM_val = static_cast<uint16_t>((maximum - background) / 2 + background);

    // Outermost columns above the half level on the peak's row; each keeps its old value when no
    // column qualifies.
    const uint16_t* peak_row = window + r.max_y * kWindowSize;
    for (int x = r.max_x; x >= kWidthFirstColumn; --x) {
        if (peak_row[x] > r.focus_FWHM_val) r.FWHM_x1 = static_cast<uint16_t>(x);
    }
    for (int x = r.max_x; x <= kScanLastColumn; ++x) {
        if (peak_row[x] > r.focus_FWHM_val) r.FWHM_x2 = static_cast<uint16_t>(x);
    }
    r.focus_FWHM = static_cast<int16_t>(r.FWHM_x2 - r.FWHM_x1 + 1);
    r.max_focus_val = maximum;
    return maximum;
}

void guide_exposure_wait(Program& p) {
    Readout& r = p.readout;
    WaitOptions o;
    o.presses = WaitPresses::Held;
    o.blocks = true;
    timed_wait(p, r.ticks, r.endticks, o);
    r.ticks = p.clock.ms();
}

bool camera_guide(Program& p) {
    Readout& r = p.readout;
    r.exposure = window_exposure_ms(p);
    if (!clear_vertical(p) || !wiper(p)) return false;
    if (r.exposure >= kGuideHostWaitFrom) wait_ms(p, r.exposure);
    return focus_read(p);
}

bool camera_selfguide(Program& p) {
    Readout& r = p.readout;
    if (!clear_vertical(p)) return false;
    if (r.selfguiding_exposure >= kSelfGuideHostWaitFrom) wait_ms(p, r.selfguiding_exposure);
    r.ccd_frame = p.run.switched_frame != 0 ? kField1 : kField2;
    return guide_read(p);
}

}  // namespace kvr
