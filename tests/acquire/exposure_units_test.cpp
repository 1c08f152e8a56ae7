#include "acquire/exposure_units.h"

#include <gtest/gtest.h>

#include <climits>

namespace kvr {
namespace {

TEST(ExposureUnitsTest, MillisecondsOfEachRange) {
    EXPECT_EQ(exposure_ms(7, 'q'), 7);
    EXPECT_EQ(exposure_ms(7, 'h'), 70);
    EXPECT_EQ(exposure_ms(7, 't'), 700);
    EXPECT_EQ(exposure_ms(7, 's'), 7000);
    EXPECT_EQ(exposure_ms(1, 'm'), 60000);
    EXPECT_EQ(exposure_ms(7, '?'), 7000);
    EXPECT_EQ(exposure_ms(INT_MAX, 'm'), INT_MAX);
    // Self-guide windows count minutes as seconds.
    EXPECT_EQ(selfguide_exposure_ms(2, 'm'), 2000);
    EXPECT_EQ(selfguide_exposure_ms(2, 'h'), 20);
}

TEST(ExposureUnitsTest, ProgressStepsGrowWithTheExposure) {
    EXPECT_EQ(progress_steps(1, 'm'), 20);
    EXPECT_EQ(256 / progress_steps(1, 'm'), 12);
    EXPECT_EQ(progress_steps(13, 's'), 20);
    EXPECT_EQ(progress_steps(12, 's'), 6);
    EXPECT_EQ(progress_steps(5, 's'), 6);
    EXPECT_EQ(progress_steps(4, 's'), 2);
    EXPECT_EQ(progress_steps(900, 'q'), 2);
}

}  // namespace
}  // namespace kvr
