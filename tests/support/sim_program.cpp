#include "support/sim_program.h"

#include "sim/camera_enumerator.h"

namespace kvr::test {

const char* const kPickBothStars = R"(dialog 7 click 704 edit 105 1 click 1
command 12
set telescope l
set comfound 1
command 21
mouse left 188 129
command 21
set guider_picked_star 1
set guider_pick_xcent 250
set guider_pick_ycent 145
set exp_guider_value 1
set exp_guider_range s
set GuiderMode T
)";

SimProgramTest::SimProgramTest(const sim::ObservatoryConfig& settings) : config(settings) {
    config.camera.behaviour.download_ms_per_field = 0;
    observatory = std::make_shared<sim::Observatory>(clock, config);
    p.devices = std::make_shared<sim::CameraEnumerator>(observatory);
}

}  // namespace kvr::test
