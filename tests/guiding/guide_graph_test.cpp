// Closed-loop runs on the simulated observatory, through the script host: the guiding graph is fed
// by a guide loop, and guider training recovers the simulated mount's rates.
#include "guiding/guide_graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/drive_paths.h"
#include "core/program.h"
#include "files/guide_settings_file.h"
#include "guiding/graph_text.h"
#include "guiding/star_signal.h"
#include "support/sim_program.h"

namespace kvr::test {
namespace {

class GuideGraphTest : public SimProgramTest {
  protected:
    int count(const Canvas& c, Argb colour, int y0, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < c.width(); ++x) n += c.at(x, y) == colour;
        return n;
    }
};

TEST_F(GuideGraphTest, GuiderGuidingFeedsTheOpenGraph) {
    run_script(std::string(kPickBothStars) + "command 892\nset guider_use_trained 0\n" +
               "dialog 7 click 704 edit 105 1 click 705 edit 105 3 click 15\ncommand 12\n");
    ASSERT_TRUE(p.graph.window && !p.graph.window->ended());
    const GuideGraphState& g = p.graph;
    // A guider frame every few seconds for three minutes, each measured on the sky: the mount's
    // periodic error and drift held to about an arcsecond.
    EXPECT_GT(g.guide_graph_samples, 25);
    EXPECT_GT(g.guide_rms_total, 0.1);
    EXPECT_LT(g.guide_rms_total, 3.0);
    EXPECT_DOUBLE_EQ(g.guide_rms_total, std::hypot(g.guide_rms_ra, g.guide_rms_dec));
    char shown[32];
    std::snprintf(shown, sizeof shown, "Total RMS %.2f\u2033", g.guide_rms_total);
    EXPECT_EQ(p.graph.window->view()[kGraphRmsTotal].text, shown);

    // Both axes' errors are drawn in the upper band, their corrections in the lower one.
    const Canvas& c = *p.graph.window->drawing(kGraphArea);
    EXPECT_GT(count(c, kGraphRaColour, 0, kGraphErrorHeight), 100);
    EXPECT_GT(count(c, kGraphDecColour, 0, kGraphErrorHeight), 100);
    EXPECT_GT(count(c, kGraphRaColour, kGraphPulseTop, kGraphHeight), 10);
    EXPECT_GT(count(c, kGraphDecColour, kGraphPulseTop, kGraphHeight), 10);

    // Around the plots: the error scale in arcseconds (the smallest full scale that holds every
    // error shown), the star's SNR and mass band, and the legend in the axes' colours.
    double most = 0;
    for (int i = 0; i < g.errors.count(); ++i)
        most = std::max({most, std::abs(double(g.errors.newest(i).ra_arcsec)),
                         std::abs(double(g.errors.newest(i).dec_arcsec))});
    double scale = 1;
    while (scale < most) scale *= 2;
    char label[16];
    std::snprintf(label, sizeof label, "+%g\"", scale);
    Canvas expected(kGraphRasterWidth, kGraphRasterHeight, argb(255, 255, 255));
    draw_graph_text(expected, kGraphWidth + 4, 0, label, kGraphTextColour);
    int label_pixels = 0;
    for (int y = 0; y < kGraphGlyphHeight; ++y)
        for (int x = kGraphWidth; x < kGraphRasterWidth; ++x) {
            ASSERT_EQ(c.at(x, y) == kGraphTextColour, expected.at(x, y) == kGraphTextColour)
                << label << " at " << x << "," << y;
            label_pixels += expected.at(x, y) == kGraphTextColour;
        }
    EXPECT_GT(label_pixels, 20);
    EXPECT_GT(g.errors.newest(0).snr, kMinStarSnr);
    EXPECT_GT(g.errors.newest(0).mass, 0);
    const int band_end = kGraphStarTop + kGraphStarHeight;
    EXPECT_GT(count(c, kGraphSnrColour, kGraphStarTop, band_end), 50);
    EXPECT_GT(count(c, kGraphMassColour, kGraphStarTop, band_end), 50);
    for (Argb legend : {kGraphRaColour, kGraphDecColour, kGraphSnrColour, kGraphMassColour})
        EXPECT_GT(count(c, legend, kGraphLegendTop, kGraphRasterHeight), 10);
    EXPECT_GT(count(c, kGraphTextColour, kGraphTimeTop, kGraphStarTop), 50);  // time axis

    // Clear empties it; a plate scale and an aggressiveness set in the window are kept for the
    // next start, and unusable ones refused.
    const std::string out = run_script(
        "dialog 32 click 107 edit 105 2.5 edit 108 60 click 106 edit 105 0 edit 108 5 click 106\n");
    EXPECT_EQ(g.guide_graph_samples, 0);
    EXPECT_EQ(count(*p.graph.window->drawing(kGraphArea), kGraphRaColour, 0, kGraphHeight), 0);
    EXPECT_NE(out.find("box KVR_Q4: The plate scale must be"), std::string::npos) << out;
    EXPECT_NE(out.find("box KVR_Q4: The aggressiveness must be"), std::string::npos) << out;
    p.graph.guide_plate_scale = 1.0;
    p.guide.guider_aggressiveness = 100;
    ASSERT_TRUE(load_guide_settings(p));
    EXPECT_DOUBLE_EQ(p.graph.guide_plate_scale, 2.5);
    EXPECT_EQ(p.guide.guider_aggressiveness, 60);
}

// The dithering settings are typed in the window and kept in the settings file; each unusable one
// (a fraction of a frame, a dither past 20 pixels) is refused and the others are still taken.
using GuideGraphDitherTest = ProgramTest;
TEST_F(GuideGraphDitherTest, SettingsAreCheckedAndKept) {
    const std::string out = run_script(
        "command 892\ndialog 32 edit 120 2 edit 121 4.5 edit 122 0.7 edit 123 90 click 106 "
        "edit 120 1.5 edit 121 25 edit 122 0.4 click 106\n");
    EXPECT_NE(out.find("box KVR_Q4: Dithering: every 0 (off) to 1000 frames"), std::string::npos)
        << out;
    p.dither = DitherState{};
    ASSERT_TRUE(load_guide_settings(p));
    EXPECT_EQ(p.dither.dither_every_frames, 2);
    EXPECT_DOUBLE_EQ(p.dither.dither_amount_px, 4.5);
    EXPECT_DOUBLE_EQ(p.dither.dither_settle_px, 0.4);
    EXPECT_EQ(p.dither.dither_settle_limit_s, 90);
}

// Every change the window keeps in its settings file says so when the file cannot be written.
using GuideGraphFileTest = ProgramTest;
TEST_F(GuideGraphFileTest, FailedWritesAreShown) {
    std::filesystem::create_directories(map_drive_path(p.drive_root, kGuideSettingsFile));
    const std::string box =
        "box KVR_Q4: Unable to save the guiding settings file, please check disk space\n";
    EXPECT_EQ(run_script("command 892\ndialog 32 edit 105 2.5 click 106 click 109 click 111\n"),
              "dialog 32 opened: Guiding Graph\n" + box + box + box);
}

TEST_F(GuideGraphTest, GuiderTrainingRecoversTheMountRates) {
    run_script(std::string(kPickBothStars) + "set ignore_RA_angle 0\ntrain guider\n");
    // A second of guide-rate drive turns the mount by half the sidereal rate; on the guider a
    // column (8.6 µm) is one plate-scale step and a row 16.6 µm.
    const double arcsec = config.mount.guide_rate_sidereal * sim::kSiderealArcsecPerS;
    const double along_x = arcsec / config.optics.plate_scale_arcsec_per_px;
    const double along_y = along_x * 8.6 / 16.6;
    const GuideState& g = p.guide;
    ASSERT_EQ(g.guider_trained, 1);
    EXPECT_NEAR(std::hypot(g.RA_x, g.RA_y), along_x, 0.1 * along_x);
    EXPECT_NEAR(std::hypot(g.Dec_x, g.Dec_y), along_y, 0.1 * along_y);
    // North up and east left on the sensor: RA moves the star along x, Dec along y.
    EXPECT_EQ(g.RA_y, 0);
    EXPECT_EQ(g.Dec_x, 0);
}

}  // namespace
}  // namespace kvr::test
