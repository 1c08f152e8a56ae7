// The histogram, row profile and 3-D plot windows: their rasters, listing and opening rules.
#include "imaging/level_views.h"

#include <algorithm>
#include <cstring>

#include "support/test_program.h"

namespace kvr::test {
namespace {

constexpr Argb kRed = argb(255, 0, 0);
constexpr Argb kGrey = argb(128, 128, 128);
constexpr Argb kLightGrey = argb(192, 192, 192);
constexpr Argb kWhite = argb(255, 255, 255);

class LevelViewsTest : public ProgramTest {
  protected:
    void command(int id) { p.commands.dispatch(p, static_cast<Cmd>(id)); }
    const Canvas& raster(const std::shared_ptr<DialogModel>& window) {
        return *window->drawing(kLevelViewArea);
    }
};

TEST_F(LevelViewsTest, HistogramCutsAndListsTheFirstFifteenOverFullLevels) {
    command(6);
    std::fill_n(p.display.table, kHistogramEntries, 0u);
    p.display.table[10] = 1054;  // 210: full height, grey, not listed
    p.display.table[11] = 1055;  // 211: cut, red, listed as 1055
    p.display.table[12] = 1059;  // listed as 1055 too
    for (int level = 100; level < 120; ++level) p.display.table[level] = 2000;
    const Canvas& c = raster(p.measure.windows.histogram);
    EXPECT_EQ(c.at(18, 1), kGrey);
    EXPECT_EQ(c.at(19, 1), kRed);
    EXPECT_EQ(c.at(127, 1), kRed);  // level 119: drawn red though not listed
    EXPECT_EQ(c.at(5, 100), argb(0, 0, 255));
    EXPECT_EQ(c.at(136, 223), argb(0, 0, 255));
    EXPECT_NE(c.at(40, 217), argb(0, 0, 255));

    std::string expected = "val   count\n011    1055\n012    1055\n";
    for (int level = 100; level < 113; ++level) expected += std::to_string(level) + "    2000\n";
    EXPECT_EQ(p.measure.windows.histogram->view()[kHistogramListing].text, expected);

    take_output();
    command(6);  // already open: nothing happens
    EXPECT_EQ(take_output(), "");
    run_script("dialog 5 click 101\n");
    EXPECT_EQ(p.measure.hist_already, 0);
}

TEST_F(LevelViewsTest, RowProfileFollowsClicksAndBlocksTheThreeDPlot) {
    p.ptr.image[127 * p.geo.width1 + 10] = 65535;
    p.ptr.image[60 * p.geo.width1 + 20] = 384 * 50;
    command(16);
    ASSERT_EQ(p.measure.row_plot, 1);
    const Canvas& c = raster(p.measure.windows.row);
    // 65535 rises 170 pixels above the base line at y = 198.
    EXPECT_EQ(c.at(15, 198 - 170), kGrey);
    EXPECT_EQ(c.at(15, 198 - 171), kWhite);
    EXPECT_EQ(c.at(2, 2), argb(0, 0, 0));
    EXPECT_EQ(p.measure.windows.row->view()[kRowEdit].text, "127");

    command(15);
    EXPECT_EQ(p.measure.intensity_plot, 0);
    run_script("mouse left 30 60\n");
    EXPECT_EQ(p.measure.obj_y, 60);
    EXPECT_EQ(c.at(25, 198 - 50), kGrey);
    EXPECT_EQ(c.at(15, 198 - 170), kWhite);
    EXPECT_EQ(run_script("command 14\n"),
              "message 37: Sorry, you cannot run Photometry, Row Plot and Merging at the same "
              "time\n");
    run_script("dialog 12 click 2\n");
    EXPECT_EQ(p.measure.row_plot, 0);
    p.shell.Fit = 1;
    EXPECT_EQ(run_script("command 16\n"),
              "message 48: Sorry, Row Plot only available in standard Geometry. Ensure Image is "
              "not stretched to fit window\n");
}

TEST_F(LevelViewsTest, ThreeDPlotIsDrawnOnceOnItsFirstPaint) {
    std::fill_n(p.ptr.image, p.geo.intlength, uint16_t(0));
    p.ptr.image[752 * 10 + 20] = 384 * 50;  // row 10: base y 196, starting at x 126
    command(15);
    const Canvas& c = raster(p.measure.windows.plot3d);
    EXPECT_EQ(c.width(), 644);
    EXPECT_EQ(c.at(146, 146), kGrey);       // the peak, where the falling segment starts
    EXPECT_EQ(c.at(145, 180), kLightGrey);  // the rising flank
    EXPECT_EQ(c.at(200, 196), kGrey);       // the flat base line after it
    EXPECT_EQ(c.at(146, 145), kWhite);
    // Later paints copy the raster: a changed image does not show.
    p.ptr.image[752 * 10 + 20] = 0;
    EXPECT_EQ(raster(p.measure.windows.plot3d).at(146, 146), kGrey);
    run_script("dialog 11 click 2\n");
    EXPECT_EQ(p.measure.intensity_plot, 0);
}

}  // namespace
}  // namespace kvr::test
