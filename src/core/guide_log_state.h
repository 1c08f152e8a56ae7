#pragma once
// The guide log of this run of the program (guiding/guide_log.h): the file, the guiding session
// it is writing, and the guide frame whose line waits for the corrections sent after it.
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

struct GuideLogState {
    std::string file;  // host path, chosen when the first session starts
    bool session_open = false;
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
