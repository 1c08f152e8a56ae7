// Window commands of this subsystem.
#include "guiding/guiding_commands.h"

#include "core/program.h"

namespace kvr {

void register_guiding_commands(Program& p) {
    // No handlers yet: the menus show them greyed out.
    static constexpr CommandRow kRows[] = {
        {Cmd::GuiderControl, "KV_Guider_Control", nullptr, "AutoGuider Camera \tCTL+G", "Ctrl+G",
         1001, "Load the AutoGuider Camera Control Dialog"},
        {Cmd::GuiderStartStandalone, "Guider_Start_Standalone", nullptr, "Start Guider Guiding"},
        {Cmd::PickStar, "CmPickStar", nullptr, "Pic&k Guide Star\tCTL+P", "Ctrl+P"},
        {Cmd::FocusFrame, "CmFocusFrame", nullptr, "Focus Frame Centre\tCTL+W", "Ctrl+W"},
        {Cmd::TrainGuide, "CmTrainGuide", nullptr, "Train Auto-Guiding"},
        {Cmd::StartGuide, "CmStartGuide", nullptr, "Start Auto-Guiding"},
        {Cmd::GuideTelescope, "GuideTelescope", nullptr, "Guide &Telescope"},
    };
    p.commands.add(kRows);
}

}  // namespace kvr
