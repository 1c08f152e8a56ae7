// What the filters do to simple scenes: flat fields, hot pixels, step edges, the clip at 65280,
// the untouched border; and the median networks over every window of zeros and ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "core/image_store.h"
#include "kernels/filter_rows.h"
#include "kernels/median_networks.h"
#include "loop_choice.h"

namespace kvr::test {
namespace {

constexpr int W = kBinnedWidth;
constexpr int H = kBinnedHeight;
using Frame = std::vector<uint16_t>;

Frame flat(uint16_t value) {
    return Frame(static_cast<size_t>(W) * H, value);
}

uint16_t& at(Frame& f, int x, int y) {
    return f[static_cast<size_t>(y) * W + x];
}

uint16_t at(const Frame& f, int x, int y) {
    return f[static_cast<size_t>(y) * W + x];
}

Frame convolve(const Frame& in, int r, int k, int d) {
    KernelTaps taps;
    EXPECT_TRUE(make_kernel_taps(r, k, d, taps));
    Frame out = in;
    for (int y = r; y < H - r; ++y) convolve_row(in.data(), out.data(), W, y, taps);
    return out;
}

Frame median(const Frame& in, int r, float q) {
    Frame out = in;
    median_rows(in.data(), out.data(), W, r, H - 2 * r, r, q);
    return out;
}

Frame unsharp(const Frame& in, int r, int power) {
    Frame out = in;
    UnsharpRows rows(in.data(), out.data(), W, r, power);
    for (int y = r; y < H - r; ++y) rows.filter(y);
    return out;
}

class FilterScenesTest : public ::testing::TestWithParam<Loops>, protected LoopChoice {
  protected:
    void SetUp() override { choose_loops(GetParam()); }
};

TEST_P(FilterScenesTest, FlatFieldsPassEveryKernelUpToTheClipLevel) {
    const struct {
        int r, k, d;
    } kernels[] = {{1, 0, 16}, {2, 1, 80}, {1, 2, 1}, {2, 3, 1}, {2, 4, 1}, {2, 5, 1}};
    for (const auto& kern : kernels) {
        EXPECT_EQ(convolve(flat(65280), kern.r, kern.k, kern.d), flat(65280)) << kern.k;
        Frame bright = convolve(flat(65281), kern.r, kern.k, kern.d);
        EXPECT_EQ(at(bright, 10, 10), 65535) << kern.k;
        EXPECT_EQ(at(bright, kern.r - 1, 10), 65281) << "border column kept, kernel " << kern.k;
        EXPECT_EQ(at(bright, 10, H - kern.r), 65281) << "border row kept, kernel " << kern.k;
    }
}

TEST_P(FilterScenesTest, KernelResultsAboveTheClipLevelBecomeFullScale) {
    // High pass, low power: 5 · centre − its four neighbours.
    Frame f = flat(0);
    at(f, 50, 50) = 13057;  // 5 · 13057 − 4 = 65281
    at(f, 49, 50) = at(f, 51, 50) = at(f, 50, 49) = at(f, 50, 51) = 1;
    at(f, 100, 50) = 13056;  // 65280 stays
    const Frame out = convolve(f, 1, 2, 1);
    EXPECT_EQ(at(out, 50, 50), 65535);
    EXPECT_EQ(at(out, 100, 50), 65280);
    EXPECT_EQ(at(out, 101, 50), 0);  // −13056 clips at 0
}

TEST_P(FilterScenesTest, MedianRemovesAHotPixelAndKeepsSmallDeviations) {
    Frame f = flat(1000);
    at(f, 60, 60) = 30000;
    at(f, 120, 60) = 1006;  // within 0.6 · (1006 − 1000) of the median? no: 6 > 3
    at(f, 200, 60) = 1000;
    at(f, 201, 60) = 1003;
    at(f, 202, 60) = 997;  // window range 6, threshold 3: a difference of 3 stays
    const Frame out = median(f, 1, 0.6f);
    EXPECT_EQ(at(out, 60, 60), 1000);
    EXPECT_EQ(at(out, 120, 60), 1000);
    EXPECT_EQ(at(out, 201, 60), 1003);
    EXPECT_EQ(at(out, 202, 60), 997);
    // Radius 0 or 4 is not a median this filter has: the image stays.
    Frame kept = f;
    median_rows(f.data(), kept.data(), W, 60, 1, 4, 0.6f);
    EXPECT_EQ(kept, f);
}

TEST_P(FilterScenesTest, UnsharpOvershootsBothSidesOfAStepAndClips) {
    Frame f = flat(0);
    for (int y = 0; y < H; ++y)
        for (int x = 100; x < W; ++x) at(f, x, y) = 50000;
    const Frame out = unsharp(f, 3, 1);
    EXPECT_EQ(at(out, 99, 50), 0);       // dark side pushed below 0: clipped
    EXPECT_EQ(at(out, 100, 50), 65535);  // 50000 + (50000 − 28571) = 71429
    EXPECT_EQ(at(out, 102, 50), 57143);  // one dark column in seven: mean 42857
    EXPECT_EQ(at(out, 110, 50), 50000);  // far from the edge: unchanged
    // The unsharp mask leaves one more column at the right.
    EXPECT_EQ(at(out, W - 4, 50), 50000);
    Frame g = flat(0);
    for (int y = 0; y < H; ++y) at(g, W - 5, y) = at(g, W - 4, y) = 40000;
    const Frame edge = unsharp(g, 3, 1);
    EXPECT_EQ(at(edge, W - 5, 50), 65535);
    EXPECT_EQ(at(edge, W - 4, 50), 40000);
}

KVR_INSTANTIATE_FOR_EACH_LOOP_CHOICE(FilterScenesTest);

// A min/max network picks an order statistic for every input exactly when it does so for
// every input of zeros and ones (the 0-1 principle), so these checks cover all windows.
template <int K>
void check_median_network_on_every_binary_window() {
    constexpr const auto& sort = network::kColumnSort<K>;
    constexpr const auto& pick = network::kWindowMedian<K>;
    for (uint32_t bits = 0; bits < (1u << K); ++bits) {
        std::vector<int> v(sort.value_count);
        for (int i = 0; i < K; ++i) v[i] = bits >> i & 1;
        for (int k = 0; k < sort.op_count; ++k) {
            const auto& op = sort.ops[k];
            v[op.out] = op.is_max ? std::max(v[op.a], v[op.b]) : std::min(v[op.a], v[op.b]);
        }
        const int ones = __builtin_popcount(bits);
        for (int i = 0; i < K; ++i) ASSERT_EQ(v[sort.outputs[i]], i >= K - ones ? 1 : 0);
    }
    // Sorted binary columns are fixed by their counts of ones: (K + 1)^K windows.
    std::array<int, K> ones{};
    while (true) {
        std::vector<int> v(pick.value_count);
        int total = 0;
        for (int j = 0; j < K; ++j) {
            for (int i = 0; i < K; ++i) v[j * K + i] = i >= K - ones[j] ? 1 : 0;
            total += ones[j];
        }
        for (int k = 0; k < pick.op_count; ++k) {
            const auto& op = pick.ops[k];
            v[op.out] = op.is_max ? std::max(v[op.a], v[op.b]) : std::min(v[op.a], v[op.b]);
        }
        ASSERT_EQ(v[pick.outputs[0]], total > K * K / 2 ? 1 : 0);
        int j = 0;
        while (j < K && ++ones[j] > K) ones[j++] = 0;
        if (j == K) break;
    }
}

TEST(MedianNetworks, PickTheMedianOfEveryBinaryWindow) {
    check_median_network_on_every_binary_window<3>();
    check_median_network_on_every_binary_window<5>();
    check_median_network_on_every_binary_window<7>();
}

}  // namespace
}  // namespace kvr::test
