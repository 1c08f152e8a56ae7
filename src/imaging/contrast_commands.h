#pragma once
// The Contrast menu: each curve routine builds the tone curve, has the main window apply it
// (command 888, `contrast_stretch`: undo copy, one table look-up per pixel, display refresh) and
// records its history line.
#include <span>

#include "core/commands.h"

namespace kvr {

struct Program;

// Applies the current tone curve to the image (command 888).
void contrast_stretch(Program& p);

void contrast_normal(Program& p);
void contrast_background(Program& p);
void contrast_power(Program& p);
void contrast_non_linear(Program& p);
void contrast_sine(Program& p);
void log_stretch(Program& p);
void antilog_stretch(Program& p);
void contrast_invert(Program& p);

// Menu commands: the three with a dialog, the others run their curve directly.
void contrast_normal_command(Program& p);
void contrast_power_command(Program& p);
void contrast_non_linear_command(Program& p);

// The Contrast menu: the rows of its commands.
std::span<const CommandRow> contrast_command_rows();

}  // namespace kvr
