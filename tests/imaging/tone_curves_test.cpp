#include "imaging/tone_curves.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kvr::test {
namespace {

class ToneCurveTest : public ::testing::Test {
  protected:
    uint16_t table[kToneTableEntries] = {};
};

TEST_F(ToneCurveTest, LogAntilogSineAndInvertEntries) {
    log_curve(table);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 2184);
    EXPECT_EQ(table[32767], 32761);

    antilog_curve(table);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 0);
    EXPECT_EQ(table[16384], 180);
    EXPECT_LT(table[32761], 32767);
    for (int i = 32762; i <= 32767; ++i) EXPECT_EQ(table[i], 32767) << i;

    sine_curve(table);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 0);
    EXPECT_EQ(table[16384], 16383);
    EXPECT_EQ(table[32767], 32765);

    invert_curve(table);
    EXPECT_EQ(table[0], 32767);
    EXPECT_EQ(table[32767], 0);
}

TEST_F(ToneCurveTest, PowerAndNonLinearEntries) {
    power_curve(table, 2.0);
    EXPECT_EQ(table[16384], 8192);
    EXPECT_EQ(table[32767], 32766);
    power_curve(table, 0.5);
    EXPECT_EQ(table[1], 181);
    EXPECT_EQ(table[8192], 16384);
    power_curve(table, 1.0);
    for (int i = 0; i < kToneTableEntries; i += 97) ASSERT_EQ(table[i], i);

    veltran_curve(table, 25);
    EXPECT_EQ(table[1], 24);
    EXPECT_EQ(table[1000], 14430);
    EXPECT_EQ(table[32767], 32767);
}

TEST_F(ToneCurveTest, NormalAndBackgroundStretchesAreLinearFromTheirBlackPoint) {
    normal_curve(table, 0, 255);
    EXPECT_EQ(table[1000], 1000);
    EXPECT_EQ(table[32639], 32639);
    EXPECT_EQ(table[32640], 32767);
    EXPECT_EQ(table[32767], 32767);

    // Display levels 10 … 20 onto 0 … 255: entries below 1280 are 0, the slope is 25.5.
    normal_curve(table, 10, 20);
    EXPECT_EQ(table[1279], 0);
    EXPECT_EQ(table[1280], 0);
    EXPECT_EQ(table[1281], 25);
    EXPECT_EQ(table[1290], 255);
    EXPECT_EQ(table[2559], 32614);  // (2559 − 1280) · 25.5 = 32614.5
    EXPECT_EQ(table[2560], 32767);

    // A white point above 255 darkens: nothing reaches full scale before the table ends.
    normal_curve(table, 0, 300);
    EXPECT_EQ(table[32767], static_cast<uint16_t>(32767 * 255.0 / 300));

    // most_pop 10: black at 8 display levels (1024 entries), slope 255 / 247.
    background_curve(table, 1024, 255.0 / 247);
    EXPECT_EQ(table[1023], 0);
    EXPECT_EQ(table[1024], 0);
    EXPECT_EQ(table[1025], 1);
    EXPECT_EQ(table[32767], 32767);
}

TEST_F(ToneCurveTest, NonsensicalParametersStayInRange) {
    normal_curve(table, 50, 50);  // no range: a step at the black point
    EXPECT_EQ(table[50 * 128 - 1], 0);
    EXPECT_EQ(table[50 * 128], 32767);
    power_curve(table, -1.0);
    EXPECT_EQ(table[0], 32767);  // 0^-1 is infinite
    power_curve(table, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(table[100], 0);
    veltran_curve(table, 0);
    EXPECT_EQ(table[32767], 0);
}

TEST_F(ToneCurveTest, ApplyingDoublesTheEntryOfThePixelPair) {
    invert_curve(table);
    std::vector<uint16_t> pixels = {0, 1, 65535, 65534, 2, 3, 40000};
    apply_tone_table(table, pixels.data(), pixels.size());
    EXPECT_EQ(pixels, (std::vector<uint16_t>{65534, 65534, 0, 0, 65532, 65532, 25534}));

    // Every pixel value, through the four-at-a-time loop and the tail.
    std::mt19937 rng(7);
    for (auto& v : table) v = static_cast<uint16_t>(rng() % 32768);
    std::vector<uint16_t> all(65536 + 3);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i);
    apply_tone_table(table, all.data(), all.size());
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], 2 * table[static_cast<uint16_t>(i) >> 1]) << i;
}

}  // namespace
}  // namespace kvr::test
