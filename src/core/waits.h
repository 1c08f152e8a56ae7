#pragma once
#include <cstdint>

namespace kvr {

struct Program;

// Waits `seconds` while pumping events; a key or mouse-button press beeps and ends the wait at
// once. Returns 1 when interrupted, 0 when the time ran out.
int one_sec_delay(Program& p, int seconds);

}  // namespace kvr
