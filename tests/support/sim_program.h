#pragma once
// A fresh program (test_program.h) looking through a whole simulated observatory on its virtual
// clock: the camera's frames arrive at once, the sky, mount and atmosphere are the defaults
// unless the fixture is given other settings.
#include <memory>

#include "sim/observatory.h"
#include "sim/observatory_config.h"
#include "support/test_program.h"

namespace kvr::test {

// A binned frame, the star of the default focus window picked on it, the mount on the camera's
// first port and the guider's star picked as the guider dialog would.
extern const char* const kPickBothStars;

class SimProgramTest : public ProgramTest {
  protected:
    explicit SimProgramTest(const sim::ObservatoryConfig& settings = {});

    sim::ObservatoryConfig config;
    std::shared_ptr<sim::Observatory> observatory;
};

}  // namespace kvr::test
