// The vectorised whole-image arithmetic against the direct definitions on random frames of both
// sizes, with and without a label band, through the AVX2 and the portable loops.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/image_store.h"
#include "imaging/arithmetic.h"
#include "imaging/header_band.h"
#include "loop_choice.h"
#include "processing_reference.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class ArithmeticLoopsTest : public ProgramTest,
                            public ::testing::WithParamInterface<Loops>,
                            protected LoopChoice {
  protected:
    void SetUp() override { choose_loops(GetParam()); }
    void use_frame(bool full) {
        p.readout.binned = full ? 0 : 1;
        set_readout_geometry(p);
    }
    // Random pixels; every 17th is 0 or 65535 so the zero and clip rules are exercised.
    static void fill(uint16_t* img, unsigned seed) {
        std::mt19937 rng(seed);
        for (int i = 0; i < kFrameBufferLength; ++i) {
            const unsigned r = rng();
            img[i] = static_cast<uint16_t>(r % 17 == 0 ? (r & 0x10000 ? 65535 : 0) : r);
        }
    }
};

TEST_P(ArithmeticLoopsTest, SubtractAndAverageMatchTheirDefinitions) {
    for (bool full : {false, true}) {
        use_frame(full);
        fill(p.ptr.image, 1);
        fill(p.ptr.trial, 2);
        const Frame a(p.ptr.image, p.ptr.image + kFrameBufferLength);
        const Frame b(p.ptr.trial, p.ptr.trial + kFrameBufferLength);
        do_subtract_image(p.geo, p.ptr.image, p.ptr.trial);
        for (int i = 0; i < kFrameBufferLength; ++i) {
            const uint16_t want = i < p.geo.intlength ? (a[i] > b[i] ? a[i] - b[i] : 0) : a[i];
            ASSERT_EQ(p.ptr.image[i], want) << i;
        }
        std::copy(a.begin(), a.end(), p.ptr.image);
        do_average_image(p.geo, p.ptr.image, p.ptr.trial);
        for (int i = 0; i < kFrameBufferLength; ++i) {
            const uint16_t want = i < p.geo.intlength ? (a[i] + b[i]) / 2 : a[i];
            ASSERT_EQ(p.ptr.image[i], want) << i;
        }
    }
}

TEST_P(ArithmeticLoopsTest, MirrorWritesTheScratchRowsAndItsSparePixels) {
    for (bool full : {false, true}) {
        for (bool band : {false, true}) {
            use_frame(full);
            fill(p.ptr.image, 3);
            fill(p.ptr.trial, 4);
            p.ptr.image[4] = p.ptr.image[5] = band ? 17 : 0;
            const Frame before(p.ptr.image, p.ptr.image + kFrameBufferLength);
            const Frame scratch(p.ptr.trial, p.ptr.trial + kFrameBufferLength);
            mirror_image(p.geo, p.ptr.image, p.ptr.trial);
            const int w = p.geo.width1;
            const int s = band ? kHeaderBandRows : 0;
            for (int i = 0; i < p.geo.intlength; ++i) {
                const int y = i / w;
                const int x = i % w;
                const bool frame = y < p.geo.height1;
                const uint16_t want = !frame  ? scratch[i]
                                      : y < s ? before[i]
                                              : before[y * w + w - 1 - x];
                ASSERT_EQ(p.ptr.image[i], want) << x << "," << y;
                if (frame && y >= s) {
                    ASSERT_EQ(p.ptr.trial[i], want);
                }
            }
        }
    }
}

TEST_P(ArithmeticLoopsTest, FlatFieldRowsMatchTheDivisionRule) {
    for (bool full : {false, true}) {
        use_frame(full);
        fill(p.ptr.image, 5);
        fill(p.ptr.save, 6);
        const int w = p.geo.width1;
        Frame want(p.ptr.image, p.ptr.image + kFrameBufferLength);
        const Frame flat(p.ptr.save, p.ptr.save + kFrameBufferLength);
        for (double mean : {0.0, 1.0, 1234.5678, 32768.0, 70000.25}) {
            for (int row = 1; row < p.geo.height1; ++row) {
                do_flat_field(p.geo, p.ptr.image, p.ptr.save, mean, row);
                reference_flat_field_row(want, flat, w, row, mean);
            }
            ASSERT_TRUE(std::equal(want.begin(), want.end(), p.ptr.image)) << mean;
        }
    }
}

KVR_INSTANTIATE_FOR_EACH_LOOP_CHOICE(ArithmeticLoopsTest);

}  // namespace
}  // namespace kvr::test
