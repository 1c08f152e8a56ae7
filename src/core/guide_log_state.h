#pragma once
// The guide log of this run of the program (guiding/guide_log.h): the file, the guiding session
// or training it is writing, and the guide frame whose line waits for the corrections sent after
// it.
#include <cstdint>
#include <string>

namespace kvr {

// What guides in a session: the main camera's guide window, its self-guide window, or the guider
// head through the mount or through the AO unit.
enum class GuidePath { MainCamera, SelfGuide, GuiderMount, GuiderAo };

// One guide frame's line: the star's offset from the reference (guide-frame px, star minus
// reference), its offset along RA and Dec (columns at the plate scale, positive where the
// correction is east / north) and what was sent for it (mount pulses in ms with their direction
// letters, or AO steps, east and north positive).
struct GuideLogFrame {
    uint32_t at_ms = 0;
    double dx_px = 0, dy_px = 0;
    double ra_px = 0, dec_px = 0;
    int ra_ms = 0, dec_ms = 0;
    char ra_dir = 0, dec_dir = 0;
    int x_steps = 0, y_steps = 0;
    double mass = 0, snr = 0;
};

// A training's test move: along RA, along Dec, or one that takes up a drive's play before the
// moves that are measured.
enum class CalibrationMove { West, East, North, South, Backlash };
inline constexpr int kCalibrationMoves = 5;

// The training being written: its steps are numbered per move within a run of moves of one kind
// (RA out and back, Dec out and back, play taken up) and measured from where that run started.
struct CalibrationLog {
    bool open = false;
    int step_size = 0;  // a full test move: ms of drive, or AO steps
    int run = -1;       // the kind of the current run of moves
    int steps[kCalibrationMoves] = {};
    double origin_x = 0, origin_y = 0;  // guide-frame px
    double last_x = 0, last_y = 0;
};

struct GuideLogState {
    std::string file;  // host path, chosen when the first section starts
    bool session_open = false;
    CalibrationLog calibration;
    // The section being written, a session or a training: one at a time.
    bool header_written = false;
    GuidePath path = GuidePath::MainCamera;
    uint32_t start_ms = 0;
    int64_t start_calendar = 0;
    int frame = 0;  // frames of the session so far
    bool pending = false;
    GuideLogFrame line;
    // The star the last guide frame's box held (from the star watch), for the next line.
    double star_mass = 0, star_snr = 0;
};

}  // namespace kvr
