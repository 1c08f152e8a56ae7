#pragma once
// The guide log's file and what its sections share (guiding/guide_log.h for guiding sessions,
// guiding/calibration_log.h for trainings): appending lines, the program clock's time stamps, and
// the settings lines every section opens with.
#include <cstdio>
#include <ctime>
#include <string>

#include "core/guide_log_state.h"

namespace kvr {

struct Program;

// A line of the log from a printf pattern (lines are short: at most 319 characters).
template <typename... Values>
std::string log_format(const char* pattern, Values... values) {
    char text[320];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// "YYYY-MM-DD HH:MM:SS" of calendar time `t` on the program's clock and time zone.
std::string log_time(const Program& p, std::time_t t);

// Appends `text` to the log; a log that cannot be written is said once and then left alone.
void log_append(Program& p, const std::string& text);

bool on_guider(GuidePath path);
// The mount's name in the log: the drive the guide pulses go through.
const char* drive_name(const Program& p);

// How a section opens: "Guiding Begins at " or "Calibration Begins at ", the line(s) of the
// device that moves the star, the lock and star positions (guide-frame px) and the heading of
// its CSV lines.
struct SectionStart {
    const char* begins = "";
    std::string mount;
    double lock_x = 0, lock_y = 0, star_x = 0, star_y = 0;
    const char* heading = "";
};
// Writes the open section's header (opening the file at the first): a blank line, the title
// with the section's start, the settings lines of its path (pixel scale, search region,
// profile, camera, exposure, the device, pointing, lock position) and the heading.
void write_section_header(Program& p, const SectionStart& start);

}  // namespace kvr
