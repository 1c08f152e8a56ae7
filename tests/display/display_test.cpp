#include "display/display.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/canvas.h"
#include "core/drive_paths.h"
#include "display/bmp_file.h"
#include "display/display_commands.h"
#include "imaging/statistics.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class DisplayTest : public ProgramTest {
  protected:
    std::string scratch(const char* name) { return map_drive_path(p.drive_root, name); }
    DisplayBitmap shown() {
        const auto b = window_bitmap(p);
        EXPECT_TRUE(b.has_value());
        return b.value_or(DisplayBitmap{});
    }
    bool command(int id) {
        return p.commands.dispatch(p, static_cast<Cmd>(id)) == DispatchResult::Done;
    }
};

TEST_F(DisplayTest, RefreshShowsTheCurrentImage) {
    EXPECT_FALSE(window_bitmap(p).has_value());
    std::strcpy(p.shell.image_name, "QX Camera Image");
    take_output();
    image_prepare(p);
    EXPECT_EQ(take_output(), "caption: KVR_Q4_USB - QX Camera Image\n");
    const DisplayBitmap b = shown();
    ASSERT_EQ(b.width, 376);
    ASSERT_EQ(b.height, 290);
    EXPECT_EQ(b.stride, 376);
    // The start-up ramp: row r holds r · 225, shown as its high byte.
    for (int r : {0, 1, 100, 289}) EXPECT_EQ(b.pixels[r * 376 + 3], (r * 225) >> 8) << r;
    EXPECT_EQ(b.colours[200], argb(200, 200, 200));
    EXPECT_EQ(p.display.PixelWidth, 376);
    EXPECT_EQ(p.display.PixelHeight, 290);
    EXPECT_EQ(p.display.Colors, 256);
    EXPECT_TRUE(std::filesystem::exists(scratch(kDisplayBitmapPath)));
}

TEST_F(DisplayTest, BlinkKeepsTheDisplayBufferAndTrainingShowsTheFocusFile) {
    std::fill_n(p.display.pixels_c, kDisplayBufferBytes, uint8_t(77));
    p.display.blink_it = 1;
    image_prepare(p);
    EXPECT_EQ(shown().pixels[0], 77);

    p.display.blink_it = 0;
    p.guide.training = 1;
    std::filesystem::remove(scratch(kDisplayBitmapPath));
    image_prepare(p);
    EXPECT_FALSE(std::filesystem::exists(scratch(kDisplayBitmapPath)));
    EXPECT_EQ(shown().pixels[376 * 100], (100 * 225) >> 8);
    EXPECT_EQ(p.display.focussed, 1);
}

// The picture is kept from memory rather than read back: in every geometry and palette it is
// what loading the scratch file gives. A reader that opened the file keeps its bytes through the
// next refresh.
TEST_F(DisplayTest, PictureIsTheScratchFileAsLoadedInEveryGeometry) {
    for (int k = 0; k < kFrameBufferLength; ++k) p.buf->image_int[k] = uint16_t(k * 40503u);
    const struct {
        int binned, geo, big, focus, false_colour;
    } cases[] = {
        {1, 0, 0, 0, 0}, {0, 0, 0, 0, 1}, {1, 1, 0, 0, 0}, {1, 1, 1, 0, 1}, {1, 0, 0, 1, 0}};
    for (const auto& c : cases) {
        p.readout.binned = c.binned;
        set_readout_geometry(p);
        p.display.Geo = c.geo;
        p.display.Big = c.big;
        p.run.focus_mode = c.focus;
        if (c.false_colour) {
            ASSERT_TRUE(command(118));
        }
        image_prepare(p);
        const DisplayBitmap b = shown();
        static uint8_t pixels[kDisplayBufferBytes];
        Argb colours[kPaletteEntries];
        BmpImage file{pixels, sizeof pixels, colours};
        ASSERT_EQ(read_bmp8(scratch(c.focus ? kFocusBitmapPath : kDisplayBitmapPath), file),
                  BmpReadResult::Ok);
        if (c.focus) continue;  // the window keeps the display file's picture
        ASSERT_EQ(b.width, file.width);
        ASSERT_EQ(b.height, file.height);
        ASSERT_EQ(b.stride, file.stride);
        EXPECT_TRUE(std::equal(b.pixels, b.pixels + size_t(b.stride) * b.height, pixels));
        EXPECT_TRUE(std::equal(b.colours, b.colours + kPaletteEntries, colours));
    }
    std::FILE* reader = std::fopen(scratch(kDisplayBitmapPath).c_str(), "rb");
    std::string before(1078 + 376 * 290, '\0'), after(before.size(), '\0');
    ASSERT_EQ(std::fread(before.data(), 1, before.size(), reader), before.size());
    p.run.focus_mode = 0;
    p.display.Geo = 0;
    image_prepare(p);
    ASSERT_EQ(std::fseek(reader, 0, SEEK_SET), 0);
    ASSERT_EQ(std::fread(after.data(), 1, after.size(), reader), after.size());
    EXPECT_EQ(after, before);
    std::fclose(reader);
}

TEST_F(DisplayTest, FailedWriteAndLoadAreReportedAndKeepThePicture) {
    image_prepare(p);
    const DisplayBitmap before = shown();
    const uint8_t first = before.pixels[376 * 200];
    std::filesystem::remove(scratch(kDisplayBitmapPath));
    std::filesystem::create_directory(scratch(kDisplayBitmapPath));
    std::fill_n(p.buf->image_int, kFrameBufferLength, uint16_t(0));
    take_output();
    image_prepare(p);
    const std::string out = take_output();
    EXPECT_NE(out.find("message 8: Failed to create temp bitmap"), std::string::npos);
    EXPECT_NE(out.find("message 32: Cannot open bitmap file"), std::string::npos);
    EXPECT_EQ(shown().pixels, before.pixels);
    EXPECT_EQ(shown().pixels[376 * 200], first);
}

TEST_F(DisplayTest, PalettesChangeOnlyTheColours) {
    image_prepare(p);
    const uint8_t value = shown().pixels[376 * 150];
    ASSERT_TRUE(command(118));
    EXPECT_EQ(shown().pixels[376 * 150], value);
    EXPECT_EQ(shown().colours[128], argb(128, 64, 64));
    EXPECT_TRUE(p.commands.checked(p, Cmd::FalseColour));
    ASSERT_TRUE(command(118));
    ASSERT_TRUE(command(119));  // the palette stretch starts above the most populated level
    EXPECT_TRUE(p.commands.checked(p, Cmd::AutoPaletteStretch));
    // The refresh ends with the whole picture's statistics; the stretch took the level of the
    // fixed band.
    find_most_pop(p, p.ptr.image);
    EXPECT_EQ(shown().colours[p.display.most_pop], argb(0, 0, 0));
    EXPECT_EQ(shown().colours[p.display.most_pop + 1], argb(48, 48, 48));
}

TEST_F(DisplayTest, GeometryCommands) {
    ASSERT_TRUE(command(303));
    EXPECT_EQ(shown().width, 564);
    EXPECT_EQ(shown().height, 452);
    EXPECT_TRUE(p.commands.checked(p, Cmd::CameraGeometry));
    // Fit clears the camera geometry without rebuilding the picture.
    ASSERT_TRUE(command(301));
    EXPECT_EQ(p.display.Geo, 0);
    EXPECT_EQ(p.shell.Fit, 1);
    EXPECT_EQ(shown().width, 564);
    ASSERT_TRUE(command(123));
    EXPECT_EQ(p.shell.Fit, 0);
    EXPECT_EQ(shown().height, 435);
    ASSERT_TRUE(command(303));  // Geo while Big: Big goes
    EXPECT_EQ(p.display.Big, 0);
    EXPECT_EQ(shown().height, 452);

    p.display.photometry = 1;
    ASSERT_TRUE(command(303));
    EXPECT_EQ(p.display.Geo, 1);  // ignored while photometry is active

    p.readout.binned = 0;
    set_readout_geometry(p);
    EXPECT_FALSE(p.commands.enabled(p, Cmd::CameraGeometry));
    EXPECT_FALSE(p.commands.enabled(p, Cmd::Enlarge));
    EXPECT_EQ(p.commands.dispatch(p, Cmd::Enlarge), DispatchResult::Disabled);
}

TEST_F(DisplayTest, DisplayStretchToggleSwapsItsButton) {
    image_prepare(p);
    const uint8_t plain = shown().pixels[376 * 20];
    EXPECT_EQ(p.display.max_stretch_button, kMaxStretchOnButton);
    ASSERT_TRUE(command(1901));
    EXPECT_EQ(p.display.max_stretch, 1);
    EXPECT_EQ(p.display.max_stretch_button, kMaxStretchOffButton);
    EXPECT_GT(shown().pixels[376 * 20], plain);  // dark values lifted
    ASSERT_TRUE(command(1902));
    EXPECT_EQ(p.display.max_stretch, 0);
    EXPECT_EQ(p.display.max_stretch_button, kMaxStretchOnButton);
    EXPECT_EQ(shown().pixels[376 * 20], plain);
    ASSERT_TRUE(command(1906));
    EXPECT_EQ(p.display.max_stretch_button, kMaxStretchOffButton);
    const int repaints = host.repaints();
    ASSERT_TRUE(command(1907));
    EXPECT_GT(host.repaints(), repaints);
}

TEST_F(DisplayTest, ScrollerFollowsPictureAndClient) {
    window_resized(p, 300, 200, false);
    image_prepare(p);
    const MainWindowPicture& w = p.display.window;
    EXPECT_EQ(w.scroll_range_x, 76);
    EXPECT_EQ(w.scroll_range_y, 90);
    window_resized(p, 10, 10, true);  // minimised: unchanged
    EXPECT_EQ(w.scroll_range_x, 76);
    window_resized(p, 500, 100, false);
    EXPECT_EQ(w.scroll_range_x, 0);
    EXPECT_EQ(w.scroll_range_y, 190);
    command(301);
    EXPECT_EQ(w.scroll_range_y, 0);
}

TEST_F(DisplayTest, PaintDrawsPictureBackgroundAndCross) {
    p.display.prep_image = 1;
    Canvas dc;
    WindowView view{400, 300, false};
    EXPECT_FALSE(paint_window(p, dc, view).has_value());
    EXPECT_EQ(p.display.prep_image, 0);
    EXPECT_EQ(dc.width(), 400);
    EXPECT_EQ(dc.at(5, 289), argb(254, 254, 254));  // (289 · 225) >> 8
    EXPECT_EQ(dc.at(376, 0), argb(192, 192, 192));
    EXPECT_EQ(dc.at(0, 290), argb(192, 192, 192));

    p.display.back_r = 120;
    p.display.back_g = 40;
    p.display.back_b = 40;
    p.display.back_changed = 1;
    p.shell.pick_star = p.shell.picked_star = 1;
    p.shell.pick_xcent = 200;  // full-frame coordinates: halved on a binned picture
    p.shell.pick_ycent = 100;
    p.settings.star_mask = 11;
    const auto cross = paint_window(p, dc, view);
    ASSERT_TRUE(cross.has_value());
    EXPECT_EQ(p.display.back_changed, 0);
    EXPECT_EQ(dc.at(399, 0), argb(120, 40, 40));
    for (int d : {-20, -1, 0, 1, 20}) {
        EXPECT_EQ(dc.at(100 + d, 50), PickCross::kColour) << d;
        EXPECT_EQ(dc.at(100, 50 + d), PickCross::kColour) << d;
    }
    EXPECT_NE(dc.at(79, 50), PickCross::kColour);
    EXPECT_NE(dc.at(121, 50), PickCross::kColour);
    EXPECT_EQ(p.shell.centre_it, 1);
    EXPECT_EQ(p.guide.cur_rad, 11);
}

TEST_F(DisplayTest, PaintResetsTheImagePointerAndCountsTheImageThatWasShown) {
    std::fill_n(p.buf->trial_int, kFrameBufferLength, uint16_t(0x3000));
    p.ptr.image = p.buf->trial_int;
    Canvas dc;
    paint_window(p, dc, WindowView{100, 100, false});
    EXPECT_EQ(p.ptr.image, p.buf->image_int);
    EXPECT_EQ(p.display.most_pop, 0x30 / 3);
}

TEST_F(DisplayTest, FitStretchesThePicture) {
    image_prepare(p);
    command(301);
    Canvas dc;
    paint_window(p, dc, WindowView{188, 145, false});
    // Half size: target row 144 shows source row 288.
    EXPECT_EQ(dc.at(0, 144), argb((288 * 225) >> 8, (288 * 225) >> 8, (288 * 225) >> 8));
}

TEST_F(DisplayTest, CopyAndPrint) {
    EXPECT_FALSE(p.commands.enabled(p, Cmd::Copy));
    image_prepare(p);
    take_output();
    ASSERT_TRUE(command(24359));
    EXPECT_EQ(take_output(), "clipboard: 376 x 290\n");
    ASSERT_TRUE(command(116));
    EXPECT_EQ(take_output(), "start: QIMPRINT.EXE PRINT c:\\kvr_q4.bmp\n");
    ASSERT_TRUE(command(114));
    EXPECT_EQ(take_output(), "start: QIMPRINT.EXE SETUP\n");
}

TEST(CanvasTest, LinesLeaveOutTheEndPointAndClip) {
    Canvas c(10, 10);
    const Argb white = argb(255, 255, 255);
    c.line(2, 3, 6, 3, white);
    EXPECT_EQ(c.at(2, 3), white);
    EXPECT_EQ(c.at(5, 3), white);
    EXPECT_NE(c.at(6, 3), white);
    c.line(-5, -5, 20, 20, white);  // diagonal through the whole raster
    for (int k = 0; k < 10; ++k) EXPECT_EQ(c.at(k, k), white);
    c.frame_rect(1, 1, 4, 4, argb(1, 2, 3));
    EXPECT_EQ(c.at(3, 1), argb(1, 2, 3));
    EXPECT_EQ(c.at(2, 2), white);  // inside untouched
    c.fill_rect(-3, 8, 30, 30, argb(9, 9, 9));
    EXPECT_EQ(c.at(9, 9), argb(9, 9, 9));
    EXPECT_EQ(c.at(9, 7), 0xFF000000u);
}

TEST(CanvasTest, BlitsThroughTheColourTable) {
    const uint8_t pixels[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    Argb colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = argb(i * 10, 0, 0);
    const DisplayBitmap b{pixels, 4, 2, 4, colours};
    Canvas c(6, 3);
    c.blit(b, 3, 2);  // partly outside
    EXPECT_EQ(c.at(3, 2), argb(0, 0, 0));
    EXPECT_EQ(c.at(5, 2), argb(20, 0, 0));
    c.blit(b, -1, -1);
    EXPECT_EQ(c.at(0, 0), argb(50, 0, 0));
    c.stretch_blit(b, 0, 0, 6, 3);
    EXPECT_EQ(c.at(5, 2), argb(70, 0, 0));
    EXPECT_EQ(c.at(1, 0), argb(0, 0, 0));
    EXPECT_EQ(c.at(2, 0), argb(10, 0, 0));
}

}  // namespace
}  // namespace kvr::test
