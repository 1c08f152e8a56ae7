#include "display/display_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "support/test_program.h"

namespace kvr::test {
namespace {

constexpr uint8_t kSentinel = 0xA5;

class DisplayMappingTest : public ProgramTest {
  protected:
    DisplayMappingTest() { std::fill_n(dst, kDisplayBufferBytes, kSentinel); }
    uint16_t* image() { return p.buf->image_int; }
    void set_full() {
        p.readout.binned = 0;
        set_readout_geometry(p);
    }
    // Bytes written before the first untouched one.
    int written() const {
        int n = kDisplayBufferBytes;
        while (n > 0 && dst[n - 1] == kSentinel) --n;
        return n;
    }
    uint8_t dst[kDisplayBufferBytes];
};

TEST_F(DisplayMappingTest, DisplayValueIsTheHighByte) {
    const uint16_t values[] = {0, 255, 256, 0x12FF, 255 * 256, 65535};
    const uint8_t shown[] = {0, 0, 1, 0x12, 255, 255};
    std::copy(std::begin(values), std::end(values), image());
    setup_image(p, image(), dst, 0, 0);
    EXPECT_TRUE(std::equal(std::begin(shown), std::end(shown), dst));
}

TEST_F(DisplayMappingTest, EachGeometryWritesItsByteCount) {
    std::fill_n(image(), kFrameBufferLength, uint16_t(0x0100));
    setup_image(p, image(), dst, 0, 0);
    EXPECT_EQ(written(), 109044);
    std::fill_n(dst, kDisplayBufferBytes, kSentinel);
    setup_image(p, image(), dst, 1, 1);  // focus wins over the camera geometry
    EXPECT_EQ(written(), 16384);
    std::fill_n(dst, kDisplayBufferBytes, kSentinel);
    setup_image(p, image(), dst, 0, 1);
    EXPECT_EQ(written(), 564 * 452);

    set_full();
    std::fill_n(dst, kDisplayBufferBytes, kSentinel);
    setup_image(p, image(), dst, 0, 1);  // no camera geometry for full frames
    EXPECT_EQ(written(), 436164);
    std::fill_n(dst, kDisplayBufferBytes, kSentinel);
    p.guide.tracking = 1;
    setup_image(p, image(), dst, 0, 0);
    EXPECT_EQ(written(), 16384);
}

TEST_F(DisplayMappingTest, CameraGeometryInterpolatesBetweenColumns) {
    // Display value 2x in column x of every row: output column j shows 2 · j / 1.5 truncated.
    for (int r = 0; r < 290; ++r)
        for (int x = 0; x < 376; ++x) image()[r * 376 + x] = uint16_t((2 * x % 256) << 8);
    setup_image(p, image(), dst, 0, 1);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[1], 1);      // fx = 0.6666667: 0 + 2 · 0.6666667
    EXPECT_EQ(dst[2], 2);      // fx = 1.3333334
    EXPECT_EQ(dst[3], 4);      // fx = 2 exactly
    EXPECT_EQ(dst[189], 252);  // fx = 126 exactly
    // Column 563 (fx = 375.33) has no right-hand neighbour: it keeps source column 375, where
    // the next element (the next row's first pixel, 0) would have pulled it down to 158.
    EXPECT_EQ(dst[563], 238);
    EXPECT_EQ(dst[451 * 564 + 563], 238);
}

TEST_F(DisplayMappingTest, CameraGeometryInterpolatesBetweenRowsAndKeepsTheLastRow) {
    for (int r = 0; r < 290; ++r) std::fill_n(image() + r * 376, 376, uint16_t(r % 200 << 8));
    image()[290 * 376] = 0xFF00;  // the row after the frame must never be read
    setup_image(p, image(), dst, 0, 1);
    // ry = 452 / 290 in single precision; row i reads rows trunc(i / ry) and the next one.
    const float ry = 452.0f / 290.0f;
    for (int i : {0, 1, 2, 3, 100, 300, 450}) {
        const float fy = static_cast<float>(i) / ry;
        const int iy = static_cast<int>(fy);
        const float v = float(iy % 200) + float((iy + 1) % 200 - iy % 200) * (fy - float(iy));
        EXPECT_EQ(dst[i * 564 + 17], static_cast<uint8_t>(v)) << i;
    }
    // Row 451 lies between source rows 289 and 290 but stays within row 289 (value 89).
    EXPECT_EQ(dst[451 * 564], 89);
}

// The resample written out pixel by pixel, as plainly as the arithmetic reads.
uint8_t resampled(const uint16_t* src, int i, int j) {
    const float ry = 452.0f / 290.0f, rx = 564.0f / 376.0f;
    const float fy = float(i) / ry, fx = float(j) / rx;
    const int iy = int(fy), ix = int(fx);
    const float dy = fy - float(iy), dx = fx - float(ix);
    const uint16_t* upper = src + iy * 376;
    const uint16_t* lower = i == 451 ? upper : upper + 376;
    const int a = upper[ix] >> 8, c = lower[ix] >> 8;
    const int b = j == 563 ? a : upper[ix + 1] >> 8, d = j == 563 ? c : lower[ix + 1] >> 8;
    const float top = float(a) + float(b - a) * dx;
    const float bottom = float(c) + float(d - c) * dx;
    const float v = top + (bottom - top) * dy;
    return v >= 256.0f ? 255 : uint8_t(int(v));
}

TEST_F(DisplayMappingTest, CameraGeometryMatchesThePlainArithmeticEverywhere) {
    uint32_t seed = 12345;
    for (int k = 0; k < 376 * 290; ++k) {
        seed = seed * 1664525u + 1013904223u;
        image()[k] = uint16_t(seed >> 16);
    }
    setup_image(p, image(), dst, 0, 1);
    int mismatches = 0;
    for (int i = 0; i < 452; ++i)
        for (int j = 0; j < 564; ++j) mismatches += dst[i * 564 + j] != resampled(image(), i, j);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(DisplayMappingTest, ExtendedTruncationNeverRoundsUp) {
    EXPECT_EQ(truncate_extended(0.0L), 0);
    EXPECT_EQ(truncate_extended(128.0L), 128);
    // The largest extended value below 128 becomes 128.0 as a double.
    EXPECT_EQ(truncate_extended(std::nextafter(128.0L, 0.0L)), 127);
    EXPECT_EQ(truncate_extended(254.999L), 254);
}

TEST_F(DisplayMappingTest, StretchTableEntries) {
    build_stretch_table(p, 25.0);
    EXPECT_EQ(p.display.stretch_bmp_table[0], 0);
    EXPECT_EQ(p.display.stretch_bmp_table[10], 128);
    EXPECT_EQ(p.display.stretch_bmp_table[254], 254);
    build_stretch_table(p, 2.0);
    EXPECT_EQ(p.display.stretch_bmp_table[128], 170);
    EXPECT_EQ(p.display.stretch_bmp_table[1], 1);  // 510 / 256 = 1.99…
    // A strength below one (only a script can set it) stays within the entry's range.
    build_stretch_table(p, -3.0);
    for (uint16_t v : p.display.stretch_bmp_table) EXPECT_LE(v, 65535);
}

TEST_F(DisplayMappingTest, MaxStretchLeavesTheTopThreeValuesAndIgnoresZeros) {
    uint8_t buf[16] = {0, 5, 10, 252, 253, 254, 255, 5, 6, 7, 8, 9, 100, 200, 30, 40};
    p.display.max_stretch_mult = 25.0;
    setup_stretched_bmp(p, buf, 16, 0, 0);
    EXPECT_EQ(p.display.min_pix, 5);
    EXPECT_EQ(p.display.max_pix, 252);
    const uint16_t* t = p.display.stretch_bmp_table;
    EXPECT_EQ(buf[0], t[0]);  // below min_pix: the first entry
    EXPECT_EQ(buf[1], t[0]);  // min_pix itself
    EXPECT_EQ(buf[2], t[5]);  // 10 − 5
    EXPECT_EQ(buf[3], t[247]);
    EXPECT_EQ(buf[4], 253);
    EXPECT_EQ(buf[5], 254);
    EXPECT_EQ(buf[6], 255);
    EXPECT_EQ(buf[13], t[195]);
}

TEST_F(DisplayMappingTest, FocusModeUsesTheFocusStrength) {
    uint8_t buf[2] = {1, 11};
    p.run.focus_mode = 1;
    p.display.focus_stretch = 2;
    setup_stretched_bmp(p, buf, 2, 1, 0);
    EXPECT_EQ(buf[1], 19);  // m = 2, i = 10: 510 · (10/255) / (10/255 + 1) = 19.6
}

TEST_F(DisplayMappingTest, FocusExposureFollowsTheBrightestPixel) {
    struct Case {
        unsigned max_focus_val;
        int exposure_before;
        int exposure_after;
        char range;
        int value;
    } cases[] = {
        {1000, 70000, 140000, 'm', 2}, {1000, 600, 1200, 's', 1},
        {40000, 150, 150, 't', 1},     {65000, 40, 20, 'h', 2},
        {65000, 21, 10, 'q', 10},      {32000, 5, 5, 'q', 5},
        {64001, 3, 1, 'q', 1},         {1000, 1 << 30, 1 << 30, 'm', (1 << 30) / 60000},
    };
    for (const Case& c : cases) {
        p.readout.max_focus_val = c.max_focus_val;
        p.readout.exposure = c.exposure_before;
        adjust_focus_exposure(p);
        EXPECT_EQ(p.readout.exposure, c.exposure_after) << c.exposure_before;
        EXPECT_EQ(p.run.exp_range, c.range) << c.exposure_before;
        EXPECT_EQ(p.run.exp_value, c.value) << c.exposure_before;
    }
}

TEST_F(DisplayMappingTest, FocusExposureChangesOnlyForBinnedAutoExposedFocusFrames) {
    uint8_t buf[4] = {};
    p.run.focus_mode = 1;
    p.readout.max_focus_val = 0;
    p.readout.exposure = 100;
    setup_stretched_bmp(p, buf, 4, 1, 0);
    EXPECT_EQ(p.readout.exposure, 100);  // auto exposure off
    p.run.auto_exposure = 1;
    setup_stretched_bmp(p, buf, 4, 1, 1);
    EXPECT_EQ(p.readout.exposure, 100);  // camera geometry
    setup_stretched_bmp(p, buf, 4, 1, 0);
    EXPECT_EQ(p.readout.exposure, 200);
    set_full();
    setup_stretched_bmp(p, buf, 4, 1, 0);
    EXPECT_EQ(p.readout.exposure, 200);
}

TEST_F(DisplayMappingTest, PaletteStretchTable) {
    uint8_t t[256];
    palette_stretch_table(255, t);
    EXPECT_TRUE(std::all_of(t, t + 256, [](uint8_t v) { return v == 0; }));
    palette_stretch_table(0, t);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 48);
    // Only the single-precision exponents reach 255 here (double ones give 254).
    EXPECT_EQ(t[255], 255);
    palette_stretch_table(100, t);
    EXPECT_EQ(t[100], 0);
    EXPECT_EQ(t[101], 48);
    EXPECT_TRUE(std::is_sorted(t, t + 256));
}

TEST_F(DisplayMappingTest, ColourTables) {
    uint8_t stretched[256];
    palette_stretch_table(10, stretched);
    Argb c[256];
    build_colour_table(p, stretched, c);
    EXPECT_EQ(c[0], argb(0, 0, 0));
    EXPECT_EQ(c[200], argb(200, 200, 200));

    p.display.stretch_palette = 1;
    build_colour_table(p, stretched, c);
    EXPECT_EQ(c[10], argb(0, 0, 0));
    EXPECT_EQ(c[11], argb(48, 48, 48));

    p.display.stretch_palette = 0;
    p.display.colour_palette = 1;
    build_colour_table(p, stretched, c);
    EXPECT_EQ(c[128], argb(128, 64, 64));  // red v, green v²/256, blue (255−v) − (255−v)²/256
    EXPECT_EQ(c[0], argb(0, 0, 1));
    EXPECT_EQ(c[240], argb(240, 225, 15));
    for (int v = 241; v < 256; ++v) EXPECT_EQ(c[v], argb(v, v, v)) << v;

    p.display.stretch_palette = 1;
    build_colour_table(p, stretched, c);
    EXPECT_EQ(c[11], argb(48, 9, 40));  // false colour of the stretched value 48
}

}  // namespace
}  // namespace kvr::test
