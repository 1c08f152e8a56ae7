// The guide log's lines, written as the guide loops write them: what the log readers rely on
// (column counts, the direction letters after the settings' letter map, AO steps' signs, dropped
// frames) and a session that measured nothing leaving no file. Then real trainings on the
// simulated observatory, read back as calibration sections.
#include "guiding/guide_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/program.h"
#include "guiding/training_check.h"
#include "support/sim_program.h"

namespace kvr::test {
namespace {

std::vector<std::string> lines_of(const std::string& file) {
    std::vector<std::string> out;
    std::ifstream f(file);
    for (std::string line; std::getline(f, line);) out.push_back(line);
    return out;
}

// A guide-frame row (one field, 16.6 µm) in column widths (8.6 µm) on the sky.
constexpr double kRowInColumns = 16.6 / 8.6;

class GuideLogTest : public ProgramTest {
  protected:
    std::vector<std::string> lines() const { return lines_of(p.guide_log.file); }
    // A guide frame measured with the star `dx`, `dy` thousandths of a pixel from the reference
    // (reference minus star) and (ra, dec) arcseconds on the sky at 1.8" a pixel.
    void measured(int dx, int dy, double ra, double dec) {
        StarSignal star;
        star.noise = 2;
        star.peak = 100;
        star.flux = 5000;
        star.snr = 50;
        ASSERT_EQ(watch_and_log(p, star), StarSeen::kMeasured);
        p.guide.dx = static_cast<int16_t>(dx);
        p.guide.dy = static_cast<int16_t>(dy);
        guide_log_measured(p, ra, dec, 1.8);
    }
};

TEST_F(GuideLogTest, SessionsInPhd2Layout) {
    guide_log_begin(p, GuidePath::GuiderMount);
    clock.advance(5000);
    guide_log_end(p);
    EXPECT_TRUE(p.guide_log.file.empty()) << "a session without frames wrote a file";

    // East and west swapped in the settings: the letter sent for an east correction is 'w'.
    p.settings.e = 'w';
    p.settings.w = 'e';
    p.guide.x1 = 100;
    p.guide.x1dec = 5;
    p.guide.y1 = 50;
    guide_log_begin(p, GuidePath::GuiderMount);
    clock.advance(2000);
    measured(1500, -250, 2.7, -0.9);
    guide_log_correction(p, 'w', 120, false);
    guide_log_correction(p, p.settings.s, 40, false);
    clock.advance(3000);
    EXPECT_EQ(watch_and_log(p, StarSignal{}), StarSeen::kLost);
    guide_log_info(p, "DITHER by 1.000, 0.500, new lock pos = 101.500, 50.500");
    guide_log_end(p);

    guide_log_begin(p, GuidePath::GuiderAo);
    clock.advance(1000);
    measured(-300, 200, -0.54, 0.72);
    guide_log_correction(p, p.settings.AOw, 3, true);
    guide_log_correction(p, p.settings.AOn, 2, true);
    guide_log_end(p);

    const std::string name = std::filesystem::path(p.guide_log.file).filename();
    EXPECT_EQ(name.rfind("PHD2_GuideLog_", 0), 0u) << name;
    const std::vector<std::string> l = lines();
    ASSERT_GT(l.size(), 3u);
    EXPECT_NE(l[0].find(", PHD2 log version 2.5. Log enabled at "), std::string::npos) << l[0];
    std::vector<std::string> body;
    bool in_frames = false;
    for (const std::string& line : l) {
        if (line.rfind("Frame,Time,mount,dx,dy,RARawDistance,", 0) == 0)
            in_frames = true;
        else if (line.rfind("Guiding Ends at ", 0) == 0)
            in_frames = false;
        else if (in_frames)
            body.push_back(line);
    }
    const std::vector<std::string> want = {
        "1,2.000,\"Mount\",-1.500,0.250,1.500,-0.500,1.500,-0.500,120,E,40,S,,,5000,50.00,0",
        "2,5.000,\"DROP\",,,,,,,,,,,,,0,0.00,2,\"Star lost - low SNR\"",
        "INFO: DITHER by 1.000, 0.500, new lock pos = 101.500, 50.500",
        "1,1.000,\"AO\",0.300,-0.200,-0.300,0.400,-0.300,0.400,,,,,-3,2,5000,50.00,0",
    };
    EXPECT_EQ(body, want);
    int begins = 0;
    for (const std::string& line : l) begins += line.rfind("Guiding Begins at ", 0) == 0;
    EXPECT_EQ(begins, 2);
    EXPECT_NE(std::find(l.begin(), l.end(),
                        "Lock position = 100.500, 50.000, Star position = "
                        "0.000, 0.000"),
              l.end());
}

// A calibration section as PHD2's log readers take it apart.
struct CalibrationStepLine {
    std::string move;
    int number = 0;
    double dx = 0, dy = 0, x = 0, y = 0, dist = 0;
};
struct AxisLine {
    double angle_deg = 0, rate = 0;
    std::string unit;
};
struct CalibrationSection {
    std::vector<CalibrationStepLine> steps;
    std::string moves;  // "West,0 Backlash,1 ..."
    AxisLine axes[2];   // West (Left) and North (Up)
    std::string last;   // the line that closes it
    double unit = 0;    // a full test move: seconds of drive, or AO steps
};

std::vector<CalibrationSection> calibrations(const std::vector<std::string>& lines) {
    std::vector<CalibrationSection> out;
    enum { kOutside, kHeader, kSteps } state = kOutside;
    for (const std::string& line : lines) {
        if (line.rfind("Calibration Begins at ", 0) == 0) {
            int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
            EXPECT_EQ(std::sscanf(line.c_str() + 22, "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h,
                                  &mi, &se),
                      6)
                << line;
            out.emplace_back();
            state = kHeader;
            continue;
        }
        if (state == kOutside) continue;
        CalibrationSection& s = out.back();
        if (line.empty() || line.rfind("Guiding Begins at ", 0) == 0) {
            state = kOutside;
        } else if (state == kHeader) {
            if (line == "Direction,Step,dx,dy,x,y,Dist") state = kSteps;
            int size = 0;
            if (std::sscanf(line.c_str(), "Mount = %*[^,], connected, Calibration Step = %d ms",
                            &size) == 1)
                s.unit = size / 1000.0;
            if (std::sscanf(line.c_str(), "Mount = AO unit, connected, Calibration steps = %d",
                            &size) == 1)
                s.unit = size;
        } else {
            CalibrationStepLine st;
            char move[16] = {}, unit[8] = {};
            AxisLine a;
            if (std::sscanf(line.c_str(), "%15[A-Za-z],%d,%lf,%lf,%lf,%lf,%lf", move, &st.number,
                            &st.dx, &st.dy, &st.x, &st.y, &st.dist) == 7) {
                st.move = move;
                s.steps.push_back(st);
                s.moves += (s.moves.empty() ? "" : " ") + st.move + "," + std::to_string(st.number);
            } else if (std::sscanf(line.c_str(),
                                   "%15s calibration complete. Angle = %lf deg, Rate = %lf "
                                   "px/%7[a-z], Parity = N/A",
                                   move, &a.angle_deg, &a.rate, unit) == 4) {
                a.unit = unit;
                const std::string axis = move;
                s.axes[axis == "North" || axis == "Up"] = a;
            } else {
                s.last = line;
            }
        }
    }
    return out;
}

// One axis's motion per unit (second of drive or AO step) as the step lines show it, by this
// test's own arithmetic: the mean of the moves `way` and, counted backwards, `back`, each from
// the step before it. A mount's move counts only after a move the same way or one that took up
// the play (the first after the start or a reversal goes partly into the play); the AO element
// has no play.
Motion shown_motion(const CalibrationSection& s, const char* way, const char* back, bool ao) {
    Motion sum;
    int n = 0;
    for (size_t i = 1; i < s.steps.size(); ++i) {
        const CalibrationStepLine &a = s.steps[i - 1], &b = s.steps[i];
        const int sign = b.move == way ? 1 : b.move == back ? -1 : 0;
        const bool full = ao || a.move == "Backlash" || (a.move == b.move && a.number > 0);
        if (sign == 0 || !full) continue;
        sum.x += sign * (b.x - a.x);
        sum.y += sign * (b.y - a.y);
        ++n;
    }
    EXPECT_GT(n, 0) << way;
    return {sum.x / std::max(n, 1) / s.unit, sum.y / std::max(n, 1) / s.unit};
}

void expect_axis(const AxisLine& logged, Motion shown, double in_force, const char* unit) {
    EXPECT_EQ(logged.unit, unit);
    EXPECT_NEAR(logged.rate, in_force, 0.001);  // what the training made the calibration
    EXPECT_NEAR(logged.rate, sky_length(shown, kRowInColumns), 0.1 * logged.rate);
    const double turn =
        std::remainder(logged.angle_deg - sky_direction_deg(shown, kRowInColumns), 360.0);
    EXPECT_LT(std::abs(turn), 5.0) << logged.angle_deg;
}

// The AO unit on the camera's second port.
sim::ObservatoryConfig with_ao_unit() {
    sim::ObservatoryConfig c;
    c.ports[1] = sim::PortDevice::kAoUnit;
    return c;
}

class TrainingLogTest : public SimProgramTest {
  protected:
    TrainingLogTest() : SimProgramTest(with_ao_unit()) {}
};

TEST_F(TrainingLogTest, EveryTrainingIsACalibrationSection) {
    // An AO training from a pick where no star stands stops before its first step: no log.
    run_script(std::string(kPickBothStars) + "set guider_pick_xcent 30\ntrain ao\n");
    EXPECT_TRUE(p.guide_log.file.empty()) << "a training that measured nothing wrote a file";

    // The main camera's training; again with the drive's lag set to 0.9 s, which leaves a tenth
    // of each test pulse: refused. Then the guider head's through the mount, and the AO unit's.
    run_script(std::string(kPickBothStars) + "command 22\n");
    const std::string refused = run_script(std::string(kPickBothStars) +
                                           "set hystx 9\nset hysty 9\ncommand 22\n"
                                           "set hystx 0\nset hysty 0\n");
    run_script("set guider_pick_xcent 250\ntrain guider\ntrain ao\n");

    const std::vector<CalibrationSection> cal = calibrations(lines_of(p.guide_log.file));
    ASSERT_EQ(cal.size(), 4u);
    EXPECT_EQ(cal[0].moves, "North,0 North,1 North,2 South,1 South,2 East,1 East,2 West,1 West,2");
    EXPECT_EQ(cal[1].moves, cal[0].moves);
    EXPECT_EQ(cal[2].moves,
              "West,0 Backlash,1 West,1 West,2 East,1 West,3 Backlash,1 Backlash,2 North,1 "
              "North,2 South,1");
    EXPECT_EQ(cal[3].moves, "Left,0 Left,1 Right,1 Up,1 Down,1");
    for (const CalibrationSection& s : cal) {
        ASSERT_FALSE(s.steps.empty());
        ASSERT_GT(s.unit, 0);
        EXPECT_EQ(s.steps[0].number, 0);
        for (size_t i = 0; i < s.steps.size(); ++i) {
            const CalibrationStepLine& st = s.steps[i];
            EXPECT_NEAR(st.dist, std::hypot(st.dx, kRowInColumns * st.dy), 0.003);
            // Each offset is from a step measured before it (the star where its run began).
            const auto origin = [&](const CalibrationStepLine& o) {
                return std::abs(o.x - (st.x - st.dx)) < 0.002 &&
                       std::abs(o.y - (st.y - st.dy)) < 0.002;
            };
            EXPECT_TRUE(std::any_of(s.steps.begin(), s.steps.begin() + i + 1, origin)) << i;
        }
    }

    const CalibrationState& c = p.calib;
    EXPECT_EQ(cal[0].last, "Calibration complete, mount = LX200 mount.");
    expect_axis(cal[0].axes[0], shown_motion(cal[0], "West", "East", false), c.main_ra_px_per_s,
                "sec");
    expect_axis(cal[0].axes[1], shown_motion(cal[0], "North", "South", false),
                kRowInColumns * c.main_dec_px_per_s, "sec");
    EXPECT_EQ(cal[2].last, "Calibration complete, mount = LX200 mount.");
    expect_axis(cal[2].axes[0], shown_motion(cal[2], "West", "East", false),
                sky_length({c.guider_ra_x_px_per_s, c.guider_ra_y_px_per_s}, kRowInColumns), "sec");
    expect_axis(cal[2].axes[1], shown_motion(cal[2], "North", "South", false),
                sky_length({c.guider_dec_x_px_per_s, c.guider_dec_y_px_per_s}, kRowInColumns),
                "sec");
    EXPECT_EQ(cal[3].last, "Calibration complete, mount = AO unit.");
    expect_axis(cal[3].axes[0], shown_motion(cal[3], "Left", "Right", true),
                sky_length({c.ao_west_x_px_per_step, c.ao_west_y_px_per_step}, kRowInColumns),
                "step");
    expect_axis(cal[3].axes[1], shown_motion(cal[3], "Up", "Down", true),
                sky_length({c.ao_north_x_px_per_step, c.ao_north_y_px_per_step}, kRowInColumns),
                "step");

    // The refused training's reasons, as the program showed them (the script host prints a
    // message's line breaks as "\n"), close its section.
    const std::string head = R"(message 50: Main camera training failed:\n)";
    const size_t from = refused.find(head), to = refused.find(R"(\nThe calibration in force)");
    ASSERT_NE(from, std::string::npos) << refused;
    ASSERT_NE(to, std::string::npos) << refused;
    std::string reasons = refused.substr(from + head.size(), to - from - head.size());
    for (size_t at = reasons.find(R"(\n)"); at != std::string::npos; at = reasons.find(R"(\n)"))
        reasons.replace(at, 2, "; ");
    EXPECT_NE(reasons.find("RA moved the star only"), std::string::npos) << reasons;
    EXPECT_EQ(cal[1].last, "Calibration Failed: " + reasons);
}

}  // namespace
}  // namespace kvr::test
