// Window commands of this subsystem.
#include "guiding/guiding_commands.h"

#include "core/program.h"
#include "guiding/guide_graph.h"
#include "guiding/guide_loop.h"
#include "guiding/guider_sequencer.h"
#include "guiding/star_pick.h"
#include "guiding/training.h"

namespace kvr {

void register_guiding_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        {Cmd::GuiderControl, "KV_Guider_Control", KV_Guider_Control, "AutoGuider Camera \tCTL+G",
         "Ctrl+G", 1001, "Load the AutoGuider Camera Control Dialog"},
        {Cmd::GuiderStartStandalone, "Guider_Start_Standalone", Guider_Start_Standalone,
         "Start Guider Guiding"},
        {Cmd::PickStar, "CmPickStar", CmPickStar, "Pic&k Guide Star\tCTL+P", "Ctrl+P", 0, "",
         nullptr, [](const Program& q) { return q.shell.pick_star != 0; }},
        {Cmd::FocusFrame, "CmFocusFrame", CmFocusFrame, "Focus Frame Centre\tCTL+W", "Ctrl+W"},
        {Cmd::TrainGuide, "CmTrainGuide", CmTrainGuide, "Train Auto-Guiding"},
        {Cmd::StartGuide, "CmStartGuide", CmStartGuide, "Start Auto-Guiding"},
        {Cmd::GuideTelescope, "GuideTelescope", GuideTelescope, "Guide &Telescope"},
        {Cmd::GuideGraph, "CmGuideGraph", CmGuideGraph, "Guiding &Graph"},
    };
    p.commands.add(kRows);
}

}  // namespace kvr
