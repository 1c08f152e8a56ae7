#include "imaging/processing_commands.h"

#include "core/program.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/contrast_commands.h"
#include "imaging/enhance_commands.h"
#include "imaging/merge_commands.h"

namespace kvr {

namespace {

constexpr CommandRow kRows[] = {
    // The display stretch's dialog
    {Cmd::StretchDisplayDialog, "open_stretch_display", open_stretch_display,
     "Max Palette Stretch\tCTL+M", "Ctrl+M", 1904, "Stretch the display to the image's range"},
};

}  // namespace

void register_processing_commands(Program& p) {
    p.commands.add(contrast_command_rows());
    p.commands.add(filter_command_rows());
    p.commands.add(arithmetic_command_rows());
    p.commands.add(kRows);
}

}  // namespace kvr
