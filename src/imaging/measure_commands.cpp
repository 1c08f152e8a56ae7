// Window commands of the measuring windows.
#include "imaging/measure_commands.h"

#include "app/program.h"
#include "imaging/blink.h"
#include "imaging/level_views.h"
#include "imaging/merging.h"
#include "imaging/photometry.h"

namespace kvr {

void register_measure_commands(Program& p) {
    CommandTable& t = p.commands;
    t.attach(6, CmHistogram);
    t.attach(15, Cm3D);
    t.attach(16, CmRowInt);
    t.attach(111, Add_Image);
    t.attach(14, CmPhotometry);
    t.attach(125, blink_comparison);
    t.attach(925, BlinkOriginal);
    t.attach(926, BlinkComparison);
}

}  // namespace kvr
