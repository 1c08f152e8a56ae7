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
        {Cmd::GuiderControl, "guider_control", guider_control, "AutoGuider Camera \tCTL+G",
         "Ctrl+G", 1001, "Load the AutoGuider Camera Control Dialog"},
        {Cmd::GuiderStartStandalone, "guider_start_standalone", guider_start_standalone,
         "Start Guider Guiding"},
        {Cmd::PickStar, "pick_guide_star", pick_guide_star, "Pic&k Guide Star\tCTL+P", "Ctrl+P", 0,
         "", nullptr, [](const Program& q) { return q.shell.pick_star != 0; }},
        {Cmd::FocusFrame, "centre_focus_frame", centre_focus_frame, "Focus Frame Centre\tCTL+W",
         "Ctrl+W"},
        {Cmd::TrainGuide, "train_guide", train_guide, "Train Auto-Guiding"},
        {Cmd::StartGuide, "start_guide", start_guide, "Start Auto-Guiding"},
        {Cmd::GuideTelescope, "show_guide_frame", show_guide_frame, "Guide &Telescope"},
        {Cmd::GuideGraph, "open_guide_graph", open_guide_graph, "Guiding &Graph"},
    };
    p.commands.add(kRows);
}

}  // namespace kvr
