#include <numeric>

#include "camera/readout.h"
#include "camera/scripted_device.h"

namespace kvr::test {
namespace {

const Bytes kClearVert = {0x40, 1, 8, 0, 0, 0, 0, 0};
const Bytes kWipe = {0x40, 1, 0, 0, 0, 0, 0, 0};

// The focus window as 128 × 128 pixels.
struct Window {
    std::vector<uint16_t> px = std::vector<uint16_t>(128 * 128, 0);
    uint16_t& at(int x, int y) { return px[y * 128 + x]; }
    Bytes block() const {
        Bytes b(px.size() * 2);
        for (size_t i = 0; i < px.size(); ++i) {
            b[2 * i] = static_cast<uint8_t>(px[i]);
            b[2 * i + 1] = static_cast<uint8_t>(px[i] >> 8);
        }
        return b;
    }
};

// Background 1000, a star peaking at (60, 50), a lone hot pixel that is brighter.
Window star_field() {
    Window w;
    std::fill(w.px.begin(), w.px.end(), 1000);
    w.at(59, 49) = 15000;
    w.at(60, 49) = 25000;
    w.at(61, 49) = 15000;
    w.at(58, 50) = 10000;
    w.at(59, 50) = 20000;
    w.at(60, 50) = 30000;
    w.at(61, 50) = 20000;
    w.at(62, 50) = 10000;
    w.at(60, 51) = 22000;
    w.at(100, 80) = 60000;  // its upper neighbour is background: not a star
    return w;
}

// Reads of the window at the default origin (312, 65): at once, or after the camera's delay.
Bytes window_read_now(uint8_t field) {
    return {0x40, 3, field, 0, 0, 0, 10, 0, 0x38, 1, 65, 0, 128, 0, 128, 0, 1, 1};
}
Bytes window_read_after(uint16_t delay_ms) {
    return {0x40,
            2,
            3,
            0,
            0,
            0,
            14,
            0,
            0x38,
            1,
            65,
            0,
            128,
            0,
            128,
            0,
            1,
            1,
            static_cast<uint8_t>(delay_ms),
            static_cast<uint8_t>(delay_ms >> 8),
            0,
            0};
}

class WindowExposureTest : public CameraLinkTest {
  protected:
    void load_window(const Window& w) { std::copy(w.px.begin(), w.px.end(), p.buf->image_int); }
    // A focus or guide frame: both clears, then the window read.
    void expect_frame(const Bytes& read) {
        talk->expect_write(kClearVert);
        talk->expect_write(kWipe);
        talk->expect_write(read);
    }
};

TEST_F(WindowExposureTest, FocusMeasurementFindsTheStarAndItsWidth) {
    load_window(star_field());
    EXPECT_EQ(measure_focus_window(p), 30000);
    const Readout& r = p.readout;
    EXPECT_EQ(r.max_x, 60);
    EXPECT_EQ(r.max_y, 50);
    EXPECT_EQ(r.focus_most_pop, 1000 / 256);
    // Rows 12 … 125 by columns 5 … 125, less the star's 9 pixels and the hot pixel.
    EXPECT_EQ(r.focus_most_pop_val, 114 * 121 - 10);
    EXPECT_EQ(std::accumulate(std::begin(r.focus_table), std::end(r.focus_table), 0), 114 * 121);
    EXPECT_EQ(r.focus_table[60000 >> 8], 1);
    EXPECT_EQ(r.focus_FWHM_val, (30000 - 768) / 2 + 768);  // 15384
    EXPECT_EQ(r.FWHM_x1, 59);
    EXPECT_EQ(r.FWHM_x2, 61);
    EXPECT_EQ(r.focus_FWHM, 3);
    EXPECT_EQ(r.max_focus_val, 30000u);
}

TEST_F(WindowExposureTest, WidthSpansTheOutermostColumnsAboveHalf) {
    Window w = star_field();
    w.at(90, 50) = 16000;  // another source on the peak's row, above the half level
    w.at(3, 50) = 16000;   // the leftmost column looked at
    w.at(2, 50) = 16000;   // left of it: ignored
    load_window(w);
    measure_focus_window(p);
    EXPECT_EQ(p.readout.FWHM_x1, 3);
    EXPECT_EQ(p.readout.FWHM_x2, 90);
    EXPECT_EQ(p.readout.focus_FWHM, 88);
}

TEST_F(WindowExposureTest, DarkWindowKeepsThePreviousWidthColumns) {
    p.readout.FWHM_x1 = 7;
    p.readout.FWHM_x2 = 19;
    p.readout.max_x = 40;
    load_window(Window{});
    EXPECT_EQ(measure_focus_window(p), 0);
    EXPECT_EQ(p.readout.max_x, 0);
    EXPECT_EQ(p.readout.max_y, 0);
    EXPECT_EQ(p.readout.focus_FWHM, 13);
    EXPECT_EQ(p.readout.max_focus_val, 0u);
}

TEST_F(WindowExposureTest, MostPopulatedLevelTakesTheFirstOnTies) {
    Window w;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) w.at(x, y) = y % 2 == 0 ? 5 * 256 : 2 * 256;
    }
    load_window(w);
    measure_focus_window(p);
    EXPECT_EQ(p.readout.focus_most_pop, 2);
    EXPECT_EQ(p.readout.focus_most_pop_val, 57 * 121);
}

TEST_F(WindowExposureTest, FocusFrameHostTimedClearsWhileWaiting) {
    p.run.exp_value = 2;
    p.run.exp_range = 's';
    talk->expect_write(kClearVert);
    talk->expect_write(kWipe);
    talk->expect_write(kClearVert);  // the virtual clock reaches the end in one step
    talk->expect_write(window_read_now(3));
    talk->reply(star_field().block());
    const uint32_t start = clock.ms();
    EXPECT_EQ(camera_read(p), 30000);
    EXPECT_EQ(clock.ms() - start, 2000u);
    EXPECT_EQ(p.readout.exposure, 2000);
    EXPECT_EQ(p.readout.focus_FWHM, 3);
}

TEST_F(WindowExposureTest, FocusFrameMinutesCountAsSecondsAndShortOnesAreCameraTimed) {
    p.run.exp_value = 1;
    p.run.exp_range = 'm';
    expect_frame(window_read_after(1000));
    talk->reply(star_field().block());
    EXPECT_EQ(camera_read(p), 30000);
    EXPECT_EQ(clock.ms(), 0u);
    EXPECT_EQ(p.readout.highval, 3);
    EXPECT_EQ(p.readout.lowval, 0xE8);
}

TEST_F(WindowExposureTest, FocusFrameThatFailsKeepsThePreviousResult) {
    p.readout.max_focus_val = 1234;
    p.run.exp_value = 5;
    p.run.exp_range = 'h';
    expect_frame(window_read_after(50));
    talk->fail_read(32768, 110);
    p.buf->image_int[0] = 77;
    EXPECT_FALSE(camera_read(p).has_value());
    EXPECT_EQ(p.readout.max_focus_val, 1234u);
    EXPECT_EQ(p.buf->image_int[0], 77);

    // A clear that fails ends the frame at once.
    talk->fail_write(kClearVert, 19);
    EXPECT_FALSE(camera_read(p).has_value());
}

TEST_F(WindowExposureTest, GuideFrameWaitsFrom500Ms) {
    p.run.exp_value = 6;
    p.run.exp_range = 't';
    expect_frame(window_read_after(600));
    talk->reply(star_field().block());
    EXPECT_TRUE(camera_guide(p));
    EXPECT_EQ(clock.ms(), 600u);
    EXPECT_EQ(p.buf->image_int[50 * 128 + 60], 30000);

    p.run.exp_value = 499;
    p.run.exp_range = 'q';
    expect_frame(window_read_after(499));
    talk->reply(Window{}.block());
    EXPECT_TRUE(camera_guide(p));
    EXPECT_EQ(clock.ms(), 600u);
}

TEST_F(WindowExposureTest, SelfGuideWindowComesFromTheFieldNotBeingExposed) {
    p.readout.exposure = 60000;
    p.readout.selfguiding_exposure = 1500;
    p.run.switched_frame = 1;
    talk->expect_write(kClearVert);
    talk->expect_write(window_read_now(1));
    talk->reply(Window{}.block());
    EXPECT_TRUE(camera_selfguide(p));
    EXPECT_EQ(clock.ms(), 1500u);
    EXPECT_EQ(p.readout.ccd_frame, 1);

    p.run.switched_frame = 0;
    p.readout.selfguiding_exposure = 999;
    talk->expect_write(kClearVert);
    talk->expect_write(window_read_now(2));
    talk->reply(Window{}.block());
    EXPECT_TRUE(camera_selfguide(p));
    EXPECT_EQ(clock.ms(), 1500u);
    EXPECT_EQ(p.readout.ccd_frame, 2);
}

}  // namespace
}  // namespace kvr::test
