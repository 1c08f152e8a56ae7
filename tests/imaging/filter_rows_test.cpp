// The filter row kernels (AVX2 where the processor has it, and the portable loops) against the
// direct definitions, bit for bit, on random frames of both sizes with and without a label band.
#include "kernels/filter_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/image_store.h"
#include "imaging/header_band.h"
#include "loop_choice.h"
#include "processing_reference.h"

namespace kvr::test {
namespace {

struct FrameCase {
    int w, h;
    bool band;
    unsigned value_range;  // pixels are drawn from 0 … value_range − 1 (small ranges give ties)
};

const FrameCase kCases[] = {
    {kBinnedWidth, kBinnedHeight, false, 65536},
    {kBinnedWidth, kBinnedHeight, true, 8},
    {kFullWidth, kFullHeight, true, 65536},
    {kFullWidth, kFullHeight, false, 3},
};

Frame random_frame(const FrameCase& c, unsigned seed) {
    std::mt19937 rng(seed);
    Frame f(static_cast<size_t>(c.w) * c.h);
    for (auto& v : f) v = static_cast<uint16_t>(rng() % c.value_range);
    // Bright pixels near the top of the range exercise the clip and the 65000 ceiling, and a
    // bright patch has whole windows above the ceiling.
    for (int i = 0; i < 200; ++i) f[rng() % f.size()] = static_cast<uint16_t>(65000 + rng() % 536);
    for (int y = 100; y < 110; ++y)
        for (int x = 40; x < 60; ++x) f[y * c.w + x] = static_cast<uint16_t>(65001 + rng() % 535);
    f[4] = f[5] = 0;
    if (c.band) f[4] = f[5] = 17;
    return f;
}

// Runs a row kernel over the rows a filter of radius r covers, as the filter commands do.
template <typename Row>
Frame filter_frame(const Frame& in, const FrameCase& c, int r, Row row) {
    Frame out = in;
    const int s = has_header_band(in.data()) ? kHeaderBandRows : 0;
    for (int y = s + r; y <= c.h - r - 1; ++y) row(in.data(), out.data(), c.w, y);
    return out;
}

int band_rows(const Frame& f) {
    return has_header_band(f.data()) ? kHeaderBandRows : 0;
}

// First differing pixel as "x,y: got != want", or empty.
std::string first_difference(const Frame& got, const Frame& want, int w) {
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i])
            return std::to_string(i % w) + "," + std::to_string(i / w) + ": " +
                   std::to_string(got[i]) + " != " + std::to_string(want[i]);
    return {};
}

class FilterRowsTest : public ::testing::TestWithParam<Loops>, protected LoopChoice {
  protected:
    void SetUp() override { choose_loops(GetParam()); }
};

TEST_P(FilterRowsTest, KernelsMatchTheDirectConvolution) {
    const struct {
        int r, k, d;
    } kernels[] = {{1, 0, 16}, {2, 1, 80}, {1, 2, 1}, {2, 3, 1}, {2, 4, 1}, {2, 5, 1}};
    unsigned seed = 1;
    for (const FrameCase& c : kCases) {
        const Frame in = random_frame(c, seed++);
        for (const auto& kern : kernels) {
            KernelTaps taps;
            ASSERT_TRUE(make_kernel_taps(kern.r, kern.k, kern.d, taps));
            const Frame got =
                filter_frame(in, c, kern.r, [&](auto... a) { convolve_row(a..., taps); });
            Frame want;
            reference_convolution(in, want, c.w, c.h, band_rows(in), kern.r, kern.k, kern.d);
            ASSERT_EQ(first_difference(got, want, c.w), "") << "kernel " << kern.k << " " << c.w;
        }
    }
}

TEST_P(FilterRowsTest, UnsharpMaskMatchesTheSlidingBoxSum) {
    unsigned seed = 10;
    for (const FrameCase& c : kCases) {
        const Frame in = random_frame(c, seed++);
        for (int r = 1; r <= kUnsharpMaxRadius; ++r)
            for (int power : {1, 4, 7}) {
                Frame got = in;
                UnsharpRows rows(in.data(), got.data(), c.w, r, power);
                for (int y = band_rows(in) + r; y <= c.h - r - 1; ++y) rows.filter(y);
                Frame want;
                reference_unsharp(in, want, c.w, c.h, band_rows(in), r, power);
                ASSERT_EQ(first_difference(got, want, c.w), "")
                    << "radius " << r << " power " << power << " " << c.w;
            }
    }
}

TEST_P(FilterRowsTest, MedianMatchesTheRepeatedMaximumSearch) {
    unsigned seed = 20;
    for (const FrameCase& c : kCases) {
        const Frame in = random_frame(c, seed++);
        for (int r : {1, 2, 3}) {
            // The portable loop is slow at radius 3; two powers suffice to check it. The vector
            // loop's threshold has a fixed-point form below 1, another from 1 to 2, and a float
            // one above.
            const std::vector<unsigned> blacks =
                GetParam() != Loops::Portable ? std::vector<unsigned>{0, 1, 3, 6, 10, 15, 19, 25}
                                              : std::vector<unsigned>{0, 6};
            const std::vector<Frame> want =
                reference_median(in, c.w, c.h, band_rows(in), r, blacks);
            for (size_t b = 0; b < blacks.size(); ++b) {
                const float q = static_cast<float>(blacks[b] * 0.1);
                Frame got = in;
                const int first = band_rows(in) + r;
                median_rows(in.data(), got.data(), c.w, first, c.h - r - first, r, q);
                ASSERT_EQ(first_difference(got, want[b], c.w), "")
                    << "radius " << r << " power " << blacks[b] << " " << c.w;
            }
        }
    }
}

// Rows filtered in runs of any length (the 3 × 3 loop pairs rows) give the same frame.
TEST_P(FilterRowsTest, MedianRowsInRunsOfAnyLength) {
    const FrameCase c = kCases[1];
    const Frame in = random_frame(c, 30);
    for (int r : {1, 2}) {
        Frame whole = in;
        median_rows(in.data(), whole.data(), c.w, r, c.h - 2 * r, r, 0.4f);
        Frame runs = in;
        int y = r;
        for (int run = 1; y < c.h - r; run = run % 4 + 1) {
            const int n = std::min(run, c.h - r - y);
            median_rows(in.data(), runs.data(), c.w, y, n, r, 0.4f);
            y += n;
        }
        ASSERT_EQ(first_difference(runs, whole, c.w), "") << "radius " << r;
    }
}

KVR_INSTANTIATE_FOR_EACH_LOOP_CHOICE(FilterRowsTest);

}  // namespace
}  // namespace kvr::test
