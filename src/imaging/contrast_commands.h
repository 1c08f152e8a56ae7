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

void ContrastNormal(Program& p);
void ContrastBackground(Program& p);
void ContrastPower(Program& p);
void ContrastNonLinear(Program& p);
void ContrastSine(Program& p);
void log_stretch(Program& p);
void antilog_stretch(Program& p);
void ContrastInvert(Program& p);

// Menu commands: the three with a dialog, the others run their curve directly.
void CmContrastNormal(Program& p);
void CmContrastPower(Program& p);
void CmContrastNonLinear(Program& p);

// The Contrast menu: the rows of its commands.
std::span<const CommandRow> contrast_command_rows();

}  // namespace kvr
