#pragma once
// The program's local time is FITS_Diff hours behind UT once the settings file has been loaded
// or saved (the rule "TZ=GMT<FITS_Diff>"); before that it is the system's local time. The rule
// is kept in the program, not in the process environment, so programs in one process (tests)
// do not disturb each other.
#include <ctime>

namespace kvr {

struct Program;

// Sets `time_zone` to "GMT" + FITS_Diff ("GMT0", "GMT5", "GMT-3").
void apply_time_zone(Program& p);
// Calendar time `t` as the program's local time.
std::tm program_local_time(const Program& p, std::time_t t);

}  // namespace kvr
