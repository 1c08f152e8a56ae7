// The training report on the sky: rates in arcseconds per second from the plate scale, directions
// with rows at their sky height, and the verdict.
#include "guiding/training_report.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

TEST_F(ProgramTest, TrainingOnTheSky) {
    p.graph.guide_plate_scale = 1.8;
    // West along +x, 4.17 columns a second; north along +y, 2.085 rows (of two columns) a second.
    EXPECT_EQ(
        training_sky_text(p, {4.17, 0}, {0, 2.085}, 2.0, "s", ""),
        "RA 7.5\u2033/s at 0.0\u00b0, Dec 7.5\u2033/s at 90.0\u00b0, 90.0\u00b0 apart: sound");
    // A camera turned by 30°, a refused training: its first reason.
    const double c = std::cos(0.5235987756), s = std::sin(0.5235987756);
    EXPECT_EQ(
        training_sky_text(p, {2 * c, 2 * s / 2}, {-s, c / 2}, 2.0, "step",
                          "the axes are 40 degrees from perpendicular\nthe star was lost"),
        "RA 3.6\u2033/step at 30.0\u00b0, Dec 1.8\u2033/step at 120.0\u00b0, 90.0\u00b0 apart: "
        "the axes are 40 degrees from perpendicular");
}

}  // namespace
}  // namespace kvr::test
