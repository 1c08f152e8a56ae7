#include "imaging/processing_commands.h"

#include "core/program.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/contrast_commands.h"
#include "imaging/enhance_commands.h"
#include "imaging/merge_commands.h"

namespace kvr {

namespace {

constexpr CommandRow kRows[] = {
    // Analysis
    {Cmd::Histogram, "CmHistogram", nullptr, "&Histogram\tCTL+H", "Ctrl+H"},
    {Cmd::RowProfile, "CmRowInt", nullptr, "Intensity Plot of Current R&ow"},
    {Cmd::Plot3D, "Cm3D", nullptr, "3-D &Intensity Plot"},
    {Cmd::Photometry, "CmPhotometry", nullptr, "&Photometry of Image", "", 1903, "Photometry"},
    {Cmd::BlinkComparison, "blink_comparison", nullptr, "Blink Comparison"},
    {Cmd::BlinkShowOriginal, "BlinkOriginal"},
    {Cmd::BlinkShowComparison, "BlinkComparison"},
    // The display stretch's dialog
    {Cmd::StretchDisplayDialog, "CmStretchMax", CmStretchMax, "Max Palette Stretch\tCTL+M",
     "Ctrl+M", 1904, "Stretch the display to the image's range"},
};

}  // namespace

void register_processing_commands(Program& p) {
    p.commands.add(contrast_command_rows());
    p.commands.add(filter_command_rows());
    p.commands.add(arithmetic_command_rows());
    p.commands.add(kRows);
}

}  // namespace kvr
