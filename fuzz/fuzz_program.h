#pragma once
// One program for a whole fuzzing run: a virtual clock, a host that answers every box and
// prints nothing, and a drive root in a temporary directory.
#include "app/startup.h"
#include "core/program.h"

namespace kvr::fuzz {

Program& program();

}  // namespace kvr::fuzz
