#include "guiding/calibration_log.h"

#include <algorithm>
#include <cmath>

#include "camera/camera_protocol.h"
#include "core/program.h"
#include "guiding/guide_log.h"
#include "guiding/guide_log_file.h"

namespace kvr {

namespace {

constexpr const char* kStepHeading = "Direction,Step,dx,dy,x,y,Dist";

bool on_ao(const GuideLogState& l) {
    return l.path == GuidePath::GuiderAo;
}

const char* move_name(CalibrationMove move, bool ao) {
    static constexpr const char* kMount[kCalibrationMoves] = {"West", "East", "North", "South",
                                                              "Backlash"};
    static constexpr const char* kAo[kCalibrationMoves] = {"Left", "Right", "Up", "Down",
                                                           "Backlash"};
    return (ao ? kAo : kMount)[static_cast<int>(move)];
}

// Moves whose steps share where their run began: along RA, along Dec, play taken up.
int run_of(CalibrationMove move) {
    switch (move) {
        case CalibrationMove::West:
        case CalibrationMove::East:
            return 0;
        case CalibrationMove::North:
        case CalibrationMove::South:
            return 1;
        case CalibrationMove::Backlash:
            break;
    }
    return 2;
}

std::string device_name(const Program& p) {
    return on_ao(p.guide_log) ? "AO unit" : drive_name(p);
}

// The section's header, written with its first step: the star starts where it is locked.
void write_header(Program& p, double x, double y) {
    const GuideLogState& l = p.guide_log;
    SectionStart start;
    start.begins = "Calibration Begins at ";
    start.mount = on_ao(l) ? log_format("Mount = AO unit, connected, Calibration steps = %d\n",
                                        l.calibration.step_size)
                           : log_format("Mount = %s, connected, Calibration Step = %d ms\n",
                                        drive_name(p), l.calibration.step_size);
    start.lock_x = start.star_x = x;
    start.lock_y = start.star_y = y;
    start.heading = kStepHeading;
    write_section_header(p, start);
}

std::string axis_line(CalibrationMove move, Motion m, bool ao) {
    return log_format(
        "%s calibration complete. Angle = %.1f deg, Rate = %.3f px/%s, Parity = N/A\n",
        move_name(move, ao), sky_direction_deg(m, kFieldRowInColumns),
        sky_length(m, kFieldRowInColumns), ao ? "step" : "sec");
}

// "Calibration Failed: " and the reasons, one line (a blank line would end the section).
void write_failure(Program& p, const std::string& reasons) {
    std::string line = "Calibration Failed: ";
    for (const char c : reasons) line += c == '\n' ? std::string("; ") : std::string(1, c);
    log_append(p, line + "\n");
}

// Ends the section; true when it had a header to end.
bool close_section(Program& p) {
    GuideLogState& l = p.guide_log;
    const bool written = l.calibration.open && l.header_written;
    l.calibration.open = false;
    return written;
}

}  // namespace

void guide_log_calibration_begin(Program& p, GuidePath path, int step_size) {
    guide_log_end(p);
    GuideLogState& l = p.guide_log;
    l.calibration = CalibrationLog{};
    l.calibration.open = true;
    l.calibration.step_size = step_size;
    l.header_written = false;
    l.path = path;
    l.start_ms = p.clock.ms();
    l.start_calendar = static_cast<int64_t>(p.clock.calendar_time());
}

void guide_log_calibration_step(Program& p, CalibrationMove move, double x, double y) {
    GuideLogState& l = p.guide_log;
    CalibrationLog& c = l.calibration;
    if (!c.open) return;
    const bool first = !l.header_written;
    if (first) {
        write_header(p, x, y);
        c.last_x = x;
        c.last_y = y;
    }
    const int run = run_of(move);
    if (first || run != c.run) {
        c.run = run;
        c.origin_x = c.last_x;
        c.origin_y = c.last_y;
        std::fill(std::begin(c.steps), std::end(c.steps), 0);
    }
    const int number = first ? 0 : ++c.steps[static_cast<int>(move)];
    const Motion from_origin{x - c.origin_x, y - c.origin_y};
    c.last_x = x;
    c.last_y = y;
    log_append(p, log_format("%s,%d,%.3f,%.3f,%.3f,%.3f,%.3f\n", move_name(move, on_ao(l)), number,
                             from_origin.x, from_origin.y, x, y,
                             sky_length(from_origin, kFieldRowInColumns)));
}

void guide_log_calibration_end(Program& p, Motion west, Motion north, const std::string& faults) {
    const bool ao = on_ao(p.guide_log);
    if (!close_section(p)) return;
    log_append(p, axis_line(CalibrationMove::West, west, ao) +
                      axis_line(CalibrationMove::North, north, ao));
    if (faults.empty())
        log_append(p, "Calibration complete, mount = " + device_name(p) + ".\n");
    else
        write_failure(p, faults);
}

void guide_log_calibration_stopped(Program& p) {
    if (close_section(p))
        write_failure(p, "the training stopped: a test move left no star to measure");
}

}  // namespace kvr
