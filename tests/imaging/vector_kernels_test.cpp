// The byte swaps of FITS data, the clipped row addition of the registration and the gradient
// rows against their direct definitions, through each choice of loops, on lengths that leave
// partial vector blocks; the flat field's vector loops against its pixel rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "kernels/arithmetic_avx2.h"
#include "kernels/arithmetic_avx512.h"
#include "kernels/byte_swap.h"
#include "kernels/gradient_rows.h"
#include "kernels/saturating_add.h"
#include "loop_choice.h"

namespace kvr::test {
namespace {

std::vector<uint16_t> random_words(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint16_t> w(n);
    for (auto& v : w) v = static_cast<uint16_t>(rng() % 5 == 0 ? (rng() & 1) * 65535 : rng());
    return w;
}

class VectorKernelsTest : public ::testing::TestWithParam<Loops>, protected LoopChoice {
  protected:
    void SetUp() override { choose_loops(GetParam()); }
};

// Lengths that leave partial blocks of every vector width; the longest also holds whole blocks
// after the words that bring the output to a vector boundary.
constexpr size_t kSwapLengths[] = {0, 7, 77, 752 * 3 + 5};

// Words to big-endian bytes and back in place, XORed with each flip, from and to buffers at
// several even addresses (frames lie at any of them).
void expect_byte_swaps_round_trip(const std::vector<uint16_t>& a) {
    const size_t n = a.size();
    for (size_t skew : {0, 3, 13, 29}) {
        for (uint16_t flip : {uint16_t{0}, uint16_t{0x8000}}) {
            std::vector<uint8_t> bytes(2 * (n + skew));
            uint8_t* out = bytes.data() + 2 * skew;
            words_to_be16(a.data(), n, flip, out);
            for (size_t i = 0; i < n; ++i) {
                ASSERT_EQ(out[2 * i], uint8_t((a[i] ^ flip) >> 8)) << n << " " << i;
                ASSERT_EQ(out[2 * i + 1], uint8_t(a[i] ^ flip)) << n << " " << i;
            }
            // Back in place: the words of the buffer that holds the bytes.
            std::vector<uint16_t> words(n + skew);
            if (n > 0) std::memcpy(words.data() + skew, out, 2 * n);
            be16_to_words(reinterpret_cast<const uint8_t*>(words.data() + skew), n, flip,
                          words.data() + skew);
            EXPECT_EQ(std::vector<uint16_t>(words.begin() + skew, words.end()), a) << skew;
        }
    }
}

TEST_P(VectorKernelsTest, ByteSwapsAndClippedAddition) {
    for (size_t n : kSwapLengths) {
        const std::vector<uint16_t> a = random_words(n, 1), b = random_words(n, 2);
        expect_byte_swaps_round_trip(a);
        std::vector<uint16_t> sum = a;
        add_saturated(sum.data(), b.data(), n);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(sum[i], std::min(65535, a[i] + b[i])) << n << " " << i;
    }
}

TEST_P(VectorKernelsTest, GradientRowsMatchTheFormula) {
    const GradientPlane g{752.0, 580.0, 436160.0, 0, 1296, 48, 4080};
    for (int y : {0, 1, 289, 579}) {
        const std::vector<uint16_t> original = random_words(751, unsigned(y));
        std::vector<uint16_t> row = original;
        subtract_gradient_row(row.data(), 751, y, g);
        for (int x = 0; x < 751; ++x) {
            const double offset = 0.0 + (g.height - y) * x / g.area * g.top_right +
                                  (g.width - x) * y / g.area * g.bottom_left +
                                  static_cast<double>(y) * x / g.area * g.bottom_right;
            const int expected = original[x] > offset ? original[x] - int(offset) : 0;
            ASSERT_EQ(row[x], expected) << x << ", " << y;
        }
    }
}

#if KVR_HAVE_AVX2_PATHS
// The guards the loop choices use: forbidding AVX2 forbids AVX-512 too, and AVX-512 can be
// forbidden alone.
TEST(LoopGuardsTest, PortableForbidsBothAndAvx2AtMostKeepsAvx2) {
    if (!use_avx512()) GTEST_SKIP() << "no AVX-512";
    {
        const PortableLoopsOnly portable;
        EXPECT_FALSE(use_avx512());
    }
    const Avx2LoopsAtMost avx2;
    ASSERT_TRUE(use_avx2());
    ASSERT_FALSE(use_avx512());
}

// The flat field's vector loops, each against the pixel rule: the AVX2 loop (8 pixels a block)
// and the AVX-512 one (16).
struct FlatFieldSpan {
    const char* name;
    void (*span)(uint16_t*, const uint16_t*, double, int);
    size_t block;
    bool (*available)();
};
void PrintTo(const FlatFieldSpan& span, std::ostream* out) {
    *out << span.name;
}

class FlatFieldSpanTest : public ::testing::TestWithParam<FlatFieldSpan> {
  protected:
    void SetUp() override {
        if (!GetParam().available()) GTEST_SKIP() << GetParam().name << " not on this processor";
    }
    // Flat-fields d over f through the loop and checks every pixel against the rule, and that
    // the pixels after the span are untouched.
    static void expect_rule(const std::vector<uint16_t>& d, const std::vector<uint16_t>& f,
                            double mean) {
        constexpr uint16_t kGuard = 0xBEEF;
        std::vector<uint16_t> out = d;
        out.resize(d.size() + 16, kGuard);
        GetParam().span(out.data(), f.data(), mean, static_cast<int>(d.size()));
        for (size_t i = 0; i < d.size(); ++i)
            ASSERT_EQ(out[i], flat_field_pixel(d[i], f[i], mean))
                << d[i] << " / " << f[i] << " · " << mean << " at " << i;
        for (size_t i = d.size(); i < out.size(); ++i) ASSERT_EQ(out[i], kGuard) << i;
    }
};

// Quotients on and just beside whole numbers and the clip, where single precision cannot decide
// and the exact paths must.
TEST_P(FlatFieldSpanTest, ValuesAtWholeNumbersAndTheClip) {
    std::vector<uint16_t> d, f;
    for (int k : {1, 2, 3, 7, 1000, 21845, 65534, 65535})
        for (int fv : {1, 3, 7, 255, 4096, 65535})
            for (int e : {-1, 0, 1}) {
                d.push_back(
                    static_cast<uint16_t>(std::clamp<int64_t>(int64_t{k} * fv / fv + e, 0, 65535)));
                f.push_back(static_cast<uint16_t>(fv));
            }
    const size_t block = GetParam().block;
    for (double mean : {1.0, 3.0, 1.0 / 3.0, 65535.0, 0.99999999999})
        for (size_t i = 0; i + block <= d.size(); ++i)
            expect_rule({d.begin() + long(i), d.begin() + long(i + block)},
                        {f.begin() + long(i), f.begin() + long(i + block)}, mean);
}

// Two million pixels of every magnitude (flat values from 1 to 65535, quotients from far below 1
// to far above the clip) and means that are whole, halves and awkward fractions: the single
// precision shortcut decides most of them and must give the division rule's bits.
TEST_P(FlatFieldSpanTest, RandomQuotientsOfEveryMagnitude) {
    std::mt19937 rng(28);
    auto word = [&] { return static_cast<uint16_t>(rng() >> (16 + rng() % 17)); };
    for (double mean : {1.0, 1000.0, 1234.5678, 32768.0, 30000.5, 65535.0, 70000.25, 1e-3}) {
        // Not a whole number of blocks: the last block is a partial one.
        std::vector<uint16_t> d(250007), f(d.size());
        for (size_t i = 0; i < d.size(); ++i) {
            d[i] = word();
            f[i] = std::max<uint16_t>(1, word());
        }
        expect_rule(d, f, mean);
    }
}

// A saturated frame (and pixels one below and above the flat) over every flat value, with holes:
// the quotients crowd the top of the range, where single precision leaves the most lanes to the
// exact paths.
TEST_P(FlatFieldSpanTest, EveryFlatValueUnderSaturatedAndMatchingPixels) {
    std::vector<uint16_t> f(65536);
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint16_t>(i % 997 == 0 ? 0 : i);
    for (double mean : {30000.5, 32768.0, 31234.56789, 65535.0})
        for (int offset : {65535, -1, 0, 1}) {
            std::vector<uint16_t> d(f.size());
            for (size_t i = 0; i < d.size(); ++i)
                d[i] = static_cast<uint16_t>(
                    offset == 65535 ? 65535 : std::clamp<int64_t>(int64_t(i) + offset, 0, 65535));
            expect_rule(d, f, mean);
        }
}

INSTANTIATE_TEST_SUITE_P(
    Widths, FlatFieldSpanTest,
    ::testing::Values(FlatFieldSpan{"Avx2", flat_field_span_avx2, 8, use_avx2},
                      FlatFieldSpan{"Avx512", flat_field_span_avx512, 16, use_avx512}),
    [](const ::testing::TestParamInfo<FlatFieldSpan>& info) { return info.param.name; });
#endif

KVR_INSTANTIATE_FOR_EACH_LOOP_CHOICE(VectorKernelsTest);

}  // namespace
}  // namespace kvr::test
