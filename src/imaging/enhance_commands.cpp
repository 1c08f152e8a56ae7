#include "imaging/enhance_commands.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/busy_cursor.h"
#include "core/history.h"
#include "core/messages.h"
#include "core/program.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/arithmetic.h"
#include "imaging/gradient_filter.h"
#include "imaging/header_band.h"
#include "imaging/vertical_smoothing.h"
#include "kernels/filter_rows.h"

namespace kvr {

namespace {

// First row a filter may change: below the label band, if there is one.
int first_row(const Program& p) {
    return has_header_band(p.ptr.image) ? kHeaderBandRows : 0;
}

struct KernelCommand {
    int radius, kernel, divisor;
    const char* history;
};

constexpr KernelCommand kLowpass{1, 0, 16, "Lowpass Smoother Filter"};
constexpr KernelCommand kGaussian{2, 1, 80, "Gaussian Filter"};
constexpr KernelCommand kHighLow{1, 2, 1, "High Pass Low Power Filter"};
constexpr KernelCommand kHighHigh{2, 3, 1, "High Pass High Power Filter"};
constexpr KernelCommand kSmoothSharp{2, 4, 1, "Smoother/Sharper Filter"};
constexpr KernelCommand kBasRelief{2, 5, 1, "Bas Relief Filter"};

void kernel_enhance(Program& p, const KernelCommand& c) {
    run_enhance(p, c.radius, c.kernel, c.divisor);
    append_history(p, c.history);
}

}  // namespace

void run_enhance(Program& p, int r, int k, int d) {
    KernelTaps taps;
    if (!make_kernel_taps(r, k, d, taps)) return;
    BusyCursor busy(p);
    undo_save_option(p);
    set_progress_caption(p, "FILTER PROGRESS");
    progress_open(p);
    copy_image(p.geo, p.ptr.trial, p.ptr.image);
    const int s = first_row(p);
    p.shell.progress = s + r;
    for (int y = s + r; y <= p.geo.height1 - r - 1; ++y, ++p.shell.progress) {
        refresh_progress(p);
        convolve_row(p.ptr.image, p.ptr.trial, p.geo.width1, y, taps);
    }
    copy_image(p.geo, p.ptr.image, p.ptr.trial);
    progress_close(p);
    refresh_display(p);
}

void gaussian_enhance(Program& p) {
    kernel_enhance(p, kGaussian);
}

void lowpass_enhance(Program& p) {
    kernel_enhance(p, kLowpass);
}

void highlow_enhance(Program& p) {
    kernel_enhance(p, kHighLow);
}

void highhigh_enhance(Program& p) {
    kernel_enhance(p, kHighHigh);
}

void smoothsharp_enhance(Program& p) {
    kernel_enhance(p, kSmoothSharp);
}

void basrelief_enhance(Program& p) {
    kernel_enhance(p, kBasRelief);
}

void unsharp_enhance(Program& p) {
    ProcessingState& s = p.processing;
    s.white = 3;
    s.black = 1;
    UnsharpDialog dialog(p);
    if (p.host.run_modal(dialog) != kIdOk) return;
    const int r = static_cast<int>(s.white);
    const int power = static_cast<int>(s.black);
    BusyCursor busy(p);
    set_progress_caption(p, "UNSHARP MASK PROGRESS");
    progress_open(p);
    undo_save_option(p);
    copy_image(p.geo, p.ptr.trial, p.ptr.image);
    p.shell.progress = 0;
    UnsharpRows rows(p.ptr.image, p.ptr.trial, p.geo.width1, r, power);
    for (int y = first_row(p) + r; y <= p.geo.height1 - r - 1; ++y, ++p.shell.progress) {
        refresh_progress(p);
        rows.filter(y);
    }
    copy_image(p.geo, p.ptr.image, p.ptr.trial);
    progress_close(p);
    refresh_display(p);
    append_history(p,
                   "Unsharp Mask : rad " + std::to_string(r) + " ,power " + std::to_string(power));
}

void run_median_enhance(Program& p, uint16_t* image, uint16_t* result, uint16_t* undo) {
    const int r = static_cast<int>(p.processing.white);
    const float power = static_cast<float>(p.processing.black * 0.1);
    undo_image(p.geo, image, undo);
    copy_image(p.geo, result, image);
    const int first = (has_header_band(image) ? kHeaderBandRows : 0) + r;
    const int rows = p.geo.height1 - r - first;
    median_rows(image, result, p.geo.width1, first, rows, r, power);
    // The pass has no progress window; the count still moves a step per row.
    p.shell.progress += std::max(rows, 0);
}

void median_enhance(Program& p) {
    ProcessingState& s = p.processing;
    s.white = 1;
    s.black = 6;
    MedianDialog dialog(p);
    if (p.host.run_modal(dialog) != kIdOk) return;
    BusyCursor busy(p);
    p.host.repaint();
    run_median_enhance(p, p.ptr.image, p.ptr.trial, p.ptr.undo);
    copy_image(p.geo, p.ptr.image, p.ptr.trial);
    char text[48];
    std::snprintf(text, sizeof text, "Median Filter : rad %u ,power %1.1f", s.white, s.black * 0.1);
    append_history(p, text);
    refresh_display(p);
}

void gradient_enhance(Program& p) {
    BusyCursor busy(p);
    undo_save_option(p);
    gradient_filter(p, p.ptr.image);
    append_history(p, "Gradient Filter");
    refresh_display(p);
}

void venetian_enhance(Program& p) {
    venetian_blind(p, p.ptr.image, p.ptr.undo);
    refresh_display(p);
}

std::span<const CommandRow> filter_command_rows() {
    static constexpr CommandRow kRows[] = {
        {Cmd::UnsharpMask, "unsharp_enhance", unsharp_enhance, "&Unsharp masking HPF", "", 106,
         "Unsharp mask"},
        {Cmd::Median, "median_enhance", median_enhance, "&Median Filter - Noise Reduction", "", 3,
         "Median filter"},
        {Cmd::Gaussian, "gaussian_enhance", gaussian_enhance, "&Gaussian Smoother Filter"},
        {Cmd::LowPass, "lowpass_enhance", lowpass_enhance, "Low Pass &Weighted Mean &Smoother"},
        {Cmd::HighPassLowPower, "highlow_enhance", highlow_enhance, "&High Pass, Low Power"},
        {Cmd::HighPassHighPower, "highhigh_enhance", highhigh_enhance, "High Pass, High &Power"},
        {Cmd::SmoothSharp, "smoothsharp_enhance", smoothsharp_enhance, "&Smoother/Sharper Filter"},
        {Cmd::BasRelief, "basrelief_enhance", basrelief_enhance, "&Bas Relief Generator"},
        {Cmd::Gradient, "gradient_enhance", gradient_enhance, "Gradient &Filter"},
        {Cmd::VerticalSmoothing, "venetian_enhance", venetian_enhance, "&Vertical Smoothing"},
    };
    return kRows;
}

}  // namespace kvr
