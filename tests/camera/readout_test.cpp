#include "camera/readout.h"

#include <random>

#include "camera/scripted_device.h"

namespace kvr::test {
namespace {

constexpr uint16_t kUntouched = 0xBEEF;

// A pixel block of `pixels` 16-bit values, low byte first, pixel i = value(i).
template <typename F>
Bytes pixel_block(size_t pixels, F value) {
    Bytes b(2 * pixels);
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t v = value(i);
        b[2 * i] = static_cast<uint8_t>(v);
        b[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return b;
}

uint16_t field_pixel(size_t i) {
    return static_cast<uint16_t>(i * 7 + 3);
}

class ReadoutTest : public CameraLinkTest {
  protected:
    ReadoutTest() { std::fill_n(p.buf->image_int, kFrameBufferLength, kUntouched); }
    const uint16_t* image() const { return p.buf->image_int; }
};

TEST_F(ReadoutTest, HostTimedFieldLandsInEvenRowsOnly) {
    p.readout.exposure = 1001;
    p.readout.ccd_frame = 1;
    talk->expect_write({0x40, 3, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 1, 1});
    talk->reply(pixel_block(752 * 290, field_pixel));
    ASSERT_TRUE(first_read(p));
    for (int y = 0; y < 580; ++y) {
        for (int x = 0; x < 752; ++x) {
            const uint16_t want = y % 2 == 0 ? field_pixel((y / 2) * 752 + x) : kUntouched;
            ASSERT_EQ(image()[y * 752 + x], want) << x << "," << y;
        }
    }
    for (int i = 580 * 752; i < kFrameBufferLength; ++i) EXPECT_EQ(image()[i], kUntouched);
}

TEST_F(ReadoutTest, SecondFieldLandsInOddRowsOnly) {
    p.readout.exposure = 1000;  // camera-timed: command 2 with the delay
    p.readout.ccd_frame = 2;
    p.readout.interlaced_line = 1;
    talk->expect_write(
        {0x40, 2, 2, 0, 0, 0, 14, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 1, 1, 0xE8, 3, 0, 0});
    talk->reply(pixel_block(752 * 290, field_pixel));
    ASSERT_TRUE(first_read(p));
    for (int y = 0; y < 580; ++y) {
        const uint16_t want = y % 2 == 1 ? field_pixel((y / 2) * 752 + 5) : kUntouched;
        ASSERT_EQ(image()[y * 752 + 5], want) << y;
    }
    EXPECT_EQ(image()[579 * 752 + 751], field_pixel(289 * 752 + 751));
    EXPECT_EQ(image()[580 * 752], kUntouched);
}

TEST_F(ReadoutTest, DownloadTimeIsMeasuredOnceByTheFirstReadAbove500Ms) {
    const Bytes field = pixel_block(752 * 290, field_pixel);
    const Bytes command = {0x40, 3, 3, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 1, 1};
    p.readout.exposure = 500;
    talk->expect_write(
        {0x40, 2, 3, 0, 0, 0, 14, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 1, 1, 0xF4, 1, 0, 0});
    talk->reply(field, 2500);
    ASSERT_TRUE(first_read(p));
    EXPECT_EQ(p.readout.download_time, 3000);

    // A read that fails is not a download.
    p.readout.exposure = 60000;
    talk->expect_write(command);
    talk->fail_read(field.size(), 110);
    EXPECT_FALSE(first_read(p));
    EXPECT_EQ(p.readout.download_time, 3000);

    talk->expect_write(command);
    talk->reply(field, 2750);
    ASSERT_TRUE(first_read(p));
    EXPECT_EQ(p.readout.download_time, 2750);

    talk->expect_write(command);
    talk->reply(field, 1200);
    ASSERT_TRUE(first_read(p));
    EXPECT_EQ(p.readout.download_time, 2750);
}

TEST_F(ReadoutTest, FailedOrShortReadKeepsThePreviousImage) {
    p.readout.exposure = 5000;
    const Bytes command = {0x40, 3, 3, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 1, 1};
    talk->expect_write(command);
    talk->short_read(pixel_block(752 * 290, field_pixel), 2);
    EXPECT_FALSE(first_read(p));
    talk->expect_write(command);
    talk->fail_read(436160, 110);
    EXPECT_FALSE(first_read(p));
    EXPECT_EQ(take_output(),
              "message 50: Error 5 trying to read KVRIO data from USB\\n\n"
              "message 50: Error 110 trying to read KVRIO data from USB\\n\n");
    for (int i = 0; i < kFrameBufferLength; ++i) ASSERT_EQ(image()[i], kUntouched) << i;

    // A read command that could not be sent is not waited on.
    talk->fail_write({0x40, 3, 3, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 2, 1}, 19);
    EXPECT_FALSE(binned_read(p));
    EXPECT_EQ(talk->reads, 2);
}

TEST_F(ReadoutTest, BinnedReadFillsTheFirst376By290Pixels) {
    p.readout.exposure = 999;
    p.readout.ccd_frame = 1;  // the binned read always asks for both fields
    talk->expect_write(
        {0x40, 2, 3, 0, 0, 0, 14, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 2, 1, 0xE7, 3, 0, 0});
    talk->reply(pixel_block(376 * 290, field_pixel));
    ASSERT_TRUE(binned_read(p));
    for (int i = 0; i < 376 * 290; ++i) ASSERT_EQ(image()[i], field_pixel(i)) << i;
    for (int i = 376 * 290; i < kFrameBufferLength; ++i) ASSERT_EQ(image()[i], kUntouched) << i;

    // Exactly 1000 ms is host-timed for the binned read.
    p.readout.exposure = 1000;
    talk->expect_write({0x40, 3, 3, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0xF0, 2, 0x22, 1, 2, 1});
    talk->reply(pixel_block(376 * 290, field_pixel));
    EXPECT_TRUE(binned_read(p));
}

TEST_F(ReadoutTest, WindowReadsFillTheFirst16384Pixels) {
    p.readout.exposure = 300;
    p.readout.ccd_frame = 3;
    p.readout.focus_x = 312;
    p.readout.focus_y = 65;
    talk->expect_write(
        {0x40, 2, 3, 0, 0, 0, 14, 0, 0x38, 1, 65, 0, 128, 0, 128, 0, 1, 1, 44, 1, 0, 0});
    talk->reply(pixel_block(128 * 128, field_pixel));
    ASSERT_TRUE(focus_read(p));
    EXPECT_EQ(p.readout.highval, 1);
    EXPECT_EQ(p.readout.lowval, 44);
    for (int i = 0; i < 16384; ++i) ASSERT_EQ(image()[i], field_pixel(i)) << i;
    for (int i = 16384; i < kFrameBufferLength; ++i) ASSERT_EQ(image()[i], kUntouched) << i;

    // The self-guide window is timed by the main exposure but delayed by its own.
    p.readout.exposure = 800;
    p.readout.selfguiding_exposure = 0x11234;
    p.readout.ccd_frame = 2;
    talk->expect_write(
        {0x40, 2, 2, 0, 0, 0, 14, 0, 0x38, 1, 65, 0, 128, 0, 128, 0, 1, 1, 0x34, 0x12, 0, 0});
    talk->reply(pixel_block(128 * 128, [](size_t) { return uint16_t{9}; }));
    ASSERT_TRUE(guide_read(p));
    EXPECT_EQ(p.readout.highval, 0x12);
    EXPECT_EQ(p.readout.lowval, 0x34);
    EXPECT_EQ(image()[16383], 9);

    p.readout.exposure = 1001;
    talk->expect_write({0x40, 3, 2, 0, 0, 0, 10, 0, 0x38, 1, 65, 0, 128, 0, 128, 0, 1, 1});
    talk->fail_read(32768, 110);
    EXPECT_FALSE(guide_read(p));
    EXPECT_EQ(p.readout.highval, 0x12);  // only a camera-timed read sets them
    EXPECT_EQ(image()[0], 9);
}

TEST(FillBinned, OddRowsBecomeTheMeanOfTheirNeighbours) {
    std::vector<uint16_t> frame(kFrameBufferLength);
    std::mt19937 rng(7);
    for (auto& v : frame) v = static_cast<uint16_t>(rng());
    frame[0] = 65535;
    frame[2 * 752] = 65535;  // the sum does not overflow
    const std::vector<uint16_t> before = frame;
    fill_binned(frame.data());
    for (int y = 0; y < 580; ++y) {
        for (int x = 0; x < 752; ++x) {
            const int i = y * 752 + x;
            const bool filled = y % 2 == 1 && y < 579;
            const uint16_t want =
                filled ? static_cast<uint16_t>((before[i - 752] + before[i + 752]) / 2) : before[i];
            ASSERT_EQ(frame[i], want) << x << "," << y;
        }
    }
    EXPECT_EQ(frame[752], 65535);
    for (int i = 580 * 752; i < kFrameBufferLength; ++i) EXPECT_EQ(frame[i], before[i]);
}

}  // namespace
}  // namespace kvr::test
