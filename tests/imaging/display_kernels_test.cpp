#include "kernels/display_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kvr::test {
namespace {

// Lengths around the vector widths, so that every tail path runs.
constexpr int kLengths[] = {0, 1, 15, 16, 17, 63, 64, 65, 130, 1000, 4099};

TEST(DisplayKernelsTest, VectorPathsGiveThePortableBytes) {
    std::mt19937 rng(7);
    for (int n : kLengths) {
        std::vector<uint16_t> words(size_t(n) + 1);
        for (auto& w : words) w = uint16_t(rng());
        std::vector<uint8_t> high(size_t(n) + 1, 0xEE);
        copy_high_bytes(words.data(), high.data(), n);
        for (int k = 0; k < n; ++k) ASSERT_EQ(high[k], words[k] >> 8) << n;
        EXPECT_EQ(high[n], 0xEE);

        uint8_t lut[256];
        for (int v = 0; v < 256; ++v) lut[v] = uint8_t(rng());
        std::vector<uint8_t> fast = high, slow = high;
        remap_bytes(fast.data(), n, lut);
        remap_bytes_portable(slow.data(), n, lut);
        EXPECT_EQ(fast, slow) << n;

        const ByteRange a = scan_byte_range(high.data(), n);
        const ByteRange b = scan_byte_range_portable(high.data(), n);
        EXPECT_EQ(a.lowest_nonzero, b.lowest_nonzero) << n;
        EXPECT_EQ(a.highest_below_253, b.highest_below_253) << n;
    }
}

TEST(DisplayKernelsTest, RangeMinimumSkipsZerosAndMaximumSkipsTheTopThreeValues) {
    std::vector<uint8_t> buf(100, 0);
    buf[40] = 253;
    buf[41] = 254;
    buf[42] = 255;
    ByteRange r = scan_byte_range(buf.data(), int(buf.size()));
    EXPECT_EQ(r.lowest_nonzero, 253);  // only the maximum leaves the top values out
    EXPECT_EQ(r.highest_below_253, 0);
    buf[70] = 252;
    buf[99] = 3;  // in the scalar tail
    buf[5] = 4;
    r = scan_byte_range(buf.data(), int(buf.size()));
    EXPECT_EQ(r.lowest_nonzero, 3);
    EXPECT_EQ(r.highest_below_253, 252);
}

}  // namespace
}  // namespace kvr::test
