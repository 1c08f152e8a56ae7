#include "imaging/statistics.h"

#include <algorithm>

#include "support/test_program.h"

namespace kvr::test {
namespace {

class StatisticsTest : public ProgramTest {
  protected:
    uint16_t* image() { return p.buf->image_int; }
    void fill_level(int level) { std::fill_n(image(), kFrameBufferLength, uint16_t(level << 8)); }
    // Pixels counted by build_histogram in the current geometry.
    int first_counted() const { return p.geo.width1 / 2; }
    int counted() const { return p.geo.intlength - p.geo.width1_10; }
};

TEST_F(StatisticsTest, OneLevelLeavesTheOtherTwoMissing) {
    fill_level(200);
    image()[first_counted() + 5] = 0x10FF;  // a single pixel at a second level
    build_histogram(p, image());
    EXPECT_EQ(p.display.table[200], unsigned(counted() - 1));
    EXPECT_EQ(p.display.table[0x10], 1u);
    // m1 = 200, m2 = 16, no third level: (200 + 16 + 0) / 3.
    EXPECT_EQ(p.display.most_pop, 72);

    fill_level(90);
    build_histogram(p, image());
    EXPECT_EQ(p.display.most_pop, 30);
}

TEST_F(StatisticsTest, TiesGoToTheLowestLevelInEachSearch) {
    fill_level(50);
    // Levels 200, 120, 7 and 9 with 100 pixels each: 50 leads, then 7, then 9.
    const int at = first_counted();
    for (int level : {200, 120, 9, 7})
        for (int k = 0; k < 100; ++k) image()[at + level * 100 + k] = uint16_t(level << 8 | 0x80);
    build_histogram(p, image());
    EXPECT_EQ(p.display.most_pop, (50 + 7 + 9) / 3);
}

TEST_F(StatisticsTest, CountsFromHalfARowToTenRowsBeforeTheEnd) {
    for (int binned : {1, 0}) {
        p.readout.binned = binned;
        set_readout_geometry(p);
        fill_level(3);
        const int first = first_counted(), last = first + counted() - 1;
        image()[first - 1] = 0xFF00;  // just before the counted run
        image()[last + 1] = 0xFF00;   // just after it
        image()[first] = 0xFE00;
        image()[last] = 0xFE00;
        build_histogram(p, image());
        EXPECT_EQ(p.display.table[255], 0u) << binned;
        EXPECT_EQ(p.display.table[254], 2u) << binned;
        EXPECT_EQ(p.display.table[3], unsigned(counted() - 2)) << binned;
        EXPECT_EQ(p.display.table[256], 0u);
    }
}

TEST_F(StatisticsTest, MostPopulatedLevelComesFromTheFixedBand) {
    fill_level(0);
    // The band is pixels 10240 … 25599: rows 27 … 68 of a binned frame.
    std::fill(image() + 10240, image() + 25600, uint16_t(0x4000));
    image()[10239] = image()[25600] = 0x9000;
    find_most_pop(p, image());
    EXPECT_EQ(p.display.most_pop, 0x40);
    EXPECT_EQ(p.display.table[0x40], 15360u);
    EXPECT_EQ(p.display.table[0x90], 0u);

    // Equal halves: the lower level wins.
    std::fill(image() + 10240, image() + 17920, uint16_t(0x6000));
    std::fill(image() + 17920, image() + 25600, uint16_t(0x5000));
    find_most_pop(p, image());
    EXPECT_EQ(p.display.most_pop, 0x50);
}

TEST_F(StatisticsTest, RebuildingClearsEarlierCounts) {
    fill_level(77);
    p.display.table[12] = 99;
    build_histogram(p, image());
    EXPECT_EQ(p.display.table[12], 0u);
    EXPECT_EQ(p.display.most_pop, 77 / 3);
}

}  // namespace
}  // namespace kvr::test
