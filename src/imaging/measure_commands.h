#pragma once
// Histogram, row profile, 3-D plot, merging, photometry and blink comparison commands.
namespace kvr {

struct Program;

void register_measure_commands(Program& p);

}  // namespace kvr
