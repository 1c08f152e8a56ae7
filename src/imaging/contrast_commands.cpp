#include "imaging/contrast_commands.h"

#include <cstdio>
#include <string>

#include "core/busy_cursor.h"
#include "core/history.h"
#include "core/messages.h"
#include "core/program.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/arithmetic.h"
#include "imaging/header_band.h"
#include "imaging/stretch_dialog.h"
#include "imaging/tone_curves.h"

namespace kvr {

namespace {

// The stretch runs in this many equal blocks so that the progress window can move.
constexpr int kStretchBlocks = 16;

// Has the main window apply the new curve, then records it.
void apply_curve(Program& p, const std::string& history) {
    p.commands.dispatch(p, Cmd::ContrastStretch);
    append_history(p, history);
}

}  // namespace

void contrast_stretch(Program& p) {
    BusyCursor busy(p);
    set_progress_caption(p, "CONTRAST STRETCH");
    progress_open(p);
    undo_save_option(p);
    const uint16_t* table = p.processing.stretch_table;
    uint16_t* pixel = p.ptr.image;
    const int band = p.geo.width1_10;
    // A label band keeps its first 10 rows; otherwise they are stretched first.
    if (!has_header_band(pixel)) apply_tone_table(table, pixel, band);
    pixel += band;
    const int block = (p.geo.width1 * p.geo.height1 - band) / kStretchBlocks;
    p.shell.progress = 0;
    for (int b = 0; b < kStretchBlocks; ++b, pixel += block) {
        p.shell.progress += kProgressMax / kStretchBlocks;
        refresh_progress(p);
        apply_tone_table(table, pixel, block);
    }
    progress_close(p);
    refresh_display(p);
}

void contrast_normal(Program& p) {
    ProcessingState& s = p.processing;
    const unsigned b = s.black;
    const unsigned w = s.white;
    normal_curve(s.stretch_table, b, w);
    // The points stay in table units afterwards.
    s.black = b * kToneStepsPerLevel;
    s.white = w * kToneStepsPerLevel;
    apply_curve(p, "Normal Stretch : max " + std::to_string(w) + " ,min " + std::to_string(b));
}

void contrast_background(Program& p) {
    const int most_pop = p.display.most_pop;
    // The background must lie above the two darkest levels.
    if (most_pop <= 2) return;
    ProcessingState& s = p.processing;
    s.black = static_cast<unsigned>(most_pop - 2) * kToneStepsPerLevel;
    background_curve(s.stretch_table, s.black, 255.0 / (257 - most_pop));
    apply_curve(p, "Background Removed : min " + std::to_string(most_pop - 2));
}

void contrast_power(Program& p) {
    ProcessingState& s = p.processing;
    power_curve(s.stretch_table, s.power_str);
    char text[48];
    std::snprintf(text, sizeof text, "Power Stretch : %1.1f", s.power_str);
    apply_curve(p, text);
}

void contrast_non_linear(Program& p) {
    ProcessingState& s = p.processing;
    veltran_curve(s.stretch_table, s.white);
    apply_curve(p, "Non-Linear Stretch : power " + std::to_string(s.white));
}

void contrast_sine(Program& p) {
    sine_curve(p.processing.stretch_table);
    apply_curve(p, "Sine Stretch");
}

void log_stretch(Program& p) {
    log_curve(p.processing.stretch_table);
    apply_curve(p, "Log Stretch");
}

void antilog_stretch(Program& p) {
    antilog_curve(p.processing.stretch_table);
    apply_curve(p, "Anti-Log Stretch");
}

void contrast_invert(Program& p) {
    invert_curve(p.processing.stretch_table);
    apply_curve(p, "Invert Image to Negative");
}

void contrast_normal_command(Program& p) {
    ProcessingState& s = p.processing;
    s.white = s.oldwhite = 255;
    s.black = s.oldblack = 0;
    StretchDialog dialog(p);
    if (p.host.run_modal(dialog) == kIdOk) contrast_normal(p);
}

void contrast_power_command(Program& p) {
    p.processing.power_str = 1.0;
    PowerDialog dialog(p);
    // A power of exactly 1 would leave the image as it is.
    if (p.host.run_modal(dialog) == kIdOk && p.processing.power_str != 1.0) contrast_power(p);
}

void contrast_non_linear_command(Program& p) {
    p.processing.white = 25;
    NonLinearDialog dialog(p);
    if (p.host.run_modal(dialog) == kIdOk) contrast_non_linear(p);
}

std::span<const CommandRow> contrast_command_rows() {
    static constexpr CommandRow kRows[] = {
        {Cmd::ContrastNormal, "contrast_normal_command", contrast_normal_command,
         "&Normal Stretch\tCTL+N", "Ctrl+N", 1, "Normal contrast"},
        {Cmd::ContrastPower, "contrast_power_command", contrast_power_command, "&Power Law Stretch",
         "", 2, "Power contrast stretch"},
        {Cmd::ContrastSine, "contrast_sine", contrast_sine, "&Sine Law Stretch"},
        {Cmd::ContrastBackground, "contrast_background", contrast_background,
         "&Remove Background\tCTL+B ", "Ctrl+B", 120, "Background contrast stretch"},
        {Cmd::ContrastNonLinear, "contrast_non_linear_command", contrast_non_linear_command,
         "N&on-Linear Stretch", "", 117, "Veltran contrast stretch"},
        {Cmd::ContrastLog, "log_stretch", log_stretch, "&Logarithmic Stretch"},
        {Cmd::ContrastAntilog, "antilog_stretch", antilog_stretch, "&Antilogarithmic Stretch"},
        {Cmd::ContrastInvert, "contrast_invert", contrast_invert, "&Invert image to Negative"},
        {Cmd::ContrastStretch, "contrast_stretch", contrast_stretch},
    };
    return kRows;
}

}  // namespace kvr
