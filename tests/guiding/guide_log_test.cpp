// The guide log's lines, written as the guide loops write them: what the log readers rely on
// (column counts, the direction letters after the settings' letter map, AO steps' signs, dropped
// frames) and a session that measured nothing leaving no file.
#include "guiding/guide_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class GuideLogTest : public ProgramTest {
  protected:
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::ifstream f(p.guide_log.file);
        for (std::string line; std::getline(f, line);) out.push_back(line);
        return out;
    }
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

}  // namespace
}  // namespace kvr::test
