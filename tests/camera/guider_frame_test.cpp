#include <algorithm>
#include <random>

#include "camera/readout.h"
#include "camera/scripted_device.h"

namespace kvr::test {
namespace {

const Bytes kGuiderRead = {0x40, 3, 3, 0, 1, 0, 10, 0, 0, 0, 0, 0, 0xF4, 1, 0x22, 1, 1, 1};
const Bytes kGuiderClear = {0x40, 1, 0, 0, 1, 0, 0, 0};

uint8_t sample(size_t i) {
    return static_cast<uint8_t>(i * 13 + 1);
}

Bytes guider_block() {
    Bytes b(145000);
    for (size_t i = 0; i < b.size(); ++i) b[i] = sample(i);
    return b;
}

// The filter as its rule reads: lowest value; five times take the largest (the later one in row
// order on equal values) and remove it, the fifth taken is the median; threshold 60 % of the
// range, truncated.
uint16_t reference_filter(const std::vector<uint16_t>& img, int x, int y) {
    std::vector<uint16_t> n;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) n.push_back(img[(y + dy) * 500 + x + dx]);
    }
    const uint16_t lowest = *std::min_element(n.begin(), n.end());
    uint16_t taken[5];
    for (auto& t : taken) {
        size_t at = 0;
        for (size_t i = 0; i < n.size(); ++i) {
            if (n[i] >= n[at]) at = i;
        }
        t = n[at];
        n.erase(n.begin() + static_cast<long>(at));
    }
    const int threshold = static_cast<int>((taken[0] - lowest) * 0.6);
    const uint16_t pixel = img[y * 500 + x];
    return std::abs(taken[4] - pixel) > threshold ? taken[4] : pixel;
}

class GuiderFrameTest : public CameraLinkTest {
  protected:
    GuiderFrameTest() {
        std::fill_n(p.buf->image_guider_int, kGuiderBufferLength, uint16_t{0x00AB});
    }
    uint16_t* guider() { return p.buf->image_guider_int; }
};

TEST_F(GuiderFrameTest, FrameIsClearedExposedAndReadIntoTheHighBytes) {
    p.guide.guider_use_median = 0;
    p.guide.exp_guider_value = 2;
    p.guide.exp_guider_range = 't';
    talk->expect_write(kGuiderRead);
    talk->reply(Bytes(145000, 0xFF));  // read out and thrown away
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderRead);
    talk->reply(guider_block());
    ASSERT_TRUE(guider_camera_read(p));
    EXPECT_EQ(p.readout.guider_exposure, 200);
    EXPECT_EQ(clock.ms(), 200u);
    for (int i = 0; i < 145000; ++i) ASSERT_EQ(guider()[i], (sample(i) << 8) | 0xAB) << i;
    for (int i = 145000; i < kGuiderBufferLength; ++i) EXPECT_EQ(guider()[i], 0x00AB);
    EXPECT_EQ(guider_measure_frame(p), guider());  // no filter: stars are measured on the image
}

TEST_F(GuiderFrameTest, FailedReadKeepsThePreviousGuiderImage) {
    p.guide.exp_guider_range = 'h';
    talk->expect_write(kGuiderRead);
    talk->reply(Bytes(145000));
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderRead);
    talk->short_read(guider_block(), 1000);
    EXPECT_FALSE(guider_camera_read(p));
    EXPECT_EQ(take_output(), "message 50: Error 5 trying to read KVRIO data from USB\\n\n");
    for (int i = 0; i < kGuiderBufferLength; ++i) ASSERT_EQ(guider()[i], 0x00AB) << i;

    // A clear that cannot be read out stops before the exposure.
    talk->expect_write(kGuiderRead);
    talk->fail_read(145000, 110);
    EXPECT_FALSE(guider_camera_read(p));
    EXPECT_EQ(clock.ms(), 10u);
}

TEST_F(GuiderFrameTest, DarkSubtractionNeverGoesBelowZero) {
    p.ptr.guider_imageptr[0] = 5000;
    p.ptr.guider_darkframeptr[0] = 3000;
    p.ptr.guider_imageptr[1] = 3000;
    p.ptr.guider_darkframeptr[1] = 5000;
    p.ptr.guider_imageptr[144999] = 7;
    p.ptr.guider_darkframeptr[144999] = 7;
    subtract_guider_dark(p);
    EXPECT_EQ(guider()[0], 2000);
    EXPECT_EQ(guider()[1], 0);
    EXPECT_EQ(guider()[144999], 0);
    EXPECT_EQ(guider()[145000], 0x00AB);
}

TEST_F(GuiderFrameTest, DarkIsNotSubtractedWhileTakingIt) {
    p.guide.guider_use_darkframe = 1;
    p.guide.guider_taking_darkframe = 1;
    p.guide.guider_use_median = 0;
    std::fill_n(p.buf->guider_darkframe_int, kGuiderPixels, uint16_t{0xFFFF});
    talk->expect_write(kGuiderRead);
    talk->reply(Bytes(145000));
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderRead);
    talk->reply(guider_block());
    ASSERT_TRUE(guider_camera_read(p));
    EXPECT_EQ(guider()[10], (sample(10) << 8) | 0xAB);
}

TEST_F(GuiderFrameTest, HotPixelFilterMatchesItsRuleAndKeepsTheBorder) {
    std::vector<uint16_t> img(145000);
    std::mt19937 rng(3);
    for (auto& v : img) v = static_cast<uint16_t>(1000 + rng() % 200);
    for (int k = 0; k < 2000; ++k) img[rng() % img.size()] = static_cast<uint16_t>(rng());
    for (int k = 0; k < 500; ++k) img[rng() % img.size()] = 1100;  // many equal values
    std::copy(img.begin(), img.end(), guider());
    filter_guider_hot_pixels(p);
    for (int y = 0; y < 290; ++y) {
        for (int x = 0; x < 500; ++x) {
            const bool border = x == 0 || y == 0 || x == 499 || y == 289;
            const uint16_t want = border ? img[y * 500 + x] : reference_filter(img, x, y);
            ASSERT_EQ(guider()[y * 500 + x], want) << x << "," << y;
            ASSERT_EQ(p.buf->trial_guider_int[y * 500 + x], want) << x << "," << y;
        }
    }
    EXPECT_EQ(guider()[145000], 0x00AB);
}

TEST_F(GuiderFrameTest, HotPixelIsReplacedButASmoothSlopeStays) {
    for (int y = 0; y < 290; ++y) {
        for (int x = 0; x < 500; ++x)
            guider()[y * 500 + x] = static_cast<uint16_t>(1000 + 50 * x + 30 * y);
    }
    std::vector<uint16_t> want(guider(), guider() + 145000);
    guider()[100 * 500 + 100] = 60000;
    want[100 * 500 + 100] = 9020;  // the median of its neighbourhood
    filter_guider_hot_pixels(p);
    for (int i = 0; i < 145000; ++i) ASSERT_EQ(guider()[i], want[i]) << i;
}

TEST_F(GuiderFrameTest, StarsAreMeasuredWithTheirPeaksAndWithoutHotPixels) {
    // Sky at 20; a hot pixel alone at (100, 100); a star narrower than a row at (300, 150),
    // spilling some light into the columns beside it and less into the rows. The filter takes
    // both peaks down to their medians; the frame stars are measured on keeps the star's.
    Bytes block(145000, 20);
    block[100 * 500 + 100] = 250;
    const int star = 150 * 500 + 300;
    block[star] = 200;
    block[star - 1] = block[star + 1] = 60;
    block[star - 500] = block[star + 500] = 25;
    talk->expect_write(kGuiderRead);
    talk->reply(Bytes(145000));
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderClear);
    talk->expect_write(kGuiderRead);
    talk->reply(block);
    ASSERT_TRUE(guider_camera_read(p));
    // Samples land in the high bytes; the low bytes keep what the buffer held.
    const auto pixel = [](int sample) { return static_cast<uint16_t>(sample << 8 | 0xAB); };
    EXPECT_EQ(guider()[100 * 500 + 100], pixel(20));
    EXPECT_EQ(guider()[star], pixel(25));
    const uint16_t* measured = guider_measure_frame(p);
    EXPECT_EQ(measured[100 * 500 + 100], pixel(20));
    EXPECT_EQ(measured[star], pixel(200));
    EXPECT_EQ(measured[star + 1], pixel(60));
    EXPECT_EQ(measured[0], pixel(20));
}

TEST_F(GuiderFrameTest, GainMultipliesBy4And2And1AndSaturates) {
    const struct {
        int stretch;
        uint16_t from;
        uint16_t to;
    } cases[] = {{5, 10000, 40000}, {5, 16384, 65535}, {5, 16383, 65532},
                 {6, 40000, 65535}, {6, 300, 600},     {7, 65535, 65535},
                 {8, 300, 300},     {9, 300, 300},     {50, 300, 300}};
    for (const auto& c : cases) {
        p.guide.guider_stretch = c.stretch;
        guider()[0] = c.from;
        guider()[144999] = c.from;
        apply_guider_gain(p);
        EXPECT_EQ(guider()[0], c.to) << c.stretch << " " << c.from;
        EXPECT_EQ(guider()[144999], c.to) << c.stretch << " " << c.from;
    }
    EXPECT_EQ(guider()[145000], 0x00AB);
}

TEST_F(GuiderFrameTest, ExposureUnits) {
    const struct {
        char range;
        uint16_t value;
        int ms;
    } cases[] = {{'h', 5, 50}, {'t', 5, 500}, {'s', 3, 3000}, {'m', 2, 2000}, {'q', 7, 7000}};
    for (const auto& c : cases) {
        p.guide.exp_guider_range = c.range;
        p.guide.exp_guider_value = c.value;
        EXPECT_EQ(guider_exposure_ms(p), c.ms) << c.range;
    }
}

}  // namespace
}  // namespace kvr::test
