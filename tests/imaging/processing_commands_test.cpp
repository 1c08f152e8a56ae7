// Every contrast, filter and arithmetic command run from a script on a loaded image, checked
// pixel for pixel against the direct definitions, with its history line and undo copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/history.h"
#include "core/image_store.h"
#include "imaging/tone_curves.h"
#include "processing_reference.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class ProcessingCommandsTest : public ProgramTest {
  protected:
    // A native file of random pixels (a label band when asked) loaded as the current image.
    void load_image(bool full, bool band = false, unsigned seed = 1, unsigned range = 65536) {
        const Frame f = random_pixels(full, seed, range, band);
        write_native("img.raw", f);
        run_script("file c:\\img.raw\ncommand 24332");
        ASSERT_EQ(p.geo.width1, full ? kFullWidth : kBinnedWidth);
        loaded = image();
    }
    Frame random_pixels(bool full, unsigned seed, unsigned range, bool band = false) const {
        const size_t n =
            full ? size_t{kFullWidth} * kFullHeight : size_t{kBinnedWidth} * kBinnedHeight;
        std::mt19937 rng(seed);
        Frame f(n);
        for (auto& v : f) v = static_cast<uint16_t>(rng() % range);
        f[4] = band ? 17 : 0;
        f[5] = band ? 17 : 0;
        return f;
    }
    void write_native(const std::string& name, const Frame& f) {
        std::filesystem::create_directories(drives.path() + "/c");
        std::ofstream(drives.path() + "/c/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(f.data()), static_cast<long>(f.size() * 2));
    }
    Frame image() const { return Frame(p.ptr.image, p.ptr.image + pixels()); }
    Frame undo() const { return Frame(p.ptr.undo, p.ptr.undo + pixels()); }
    size_t pixels() const { return size_t(p.geo.width1) * p.geo.height1; }
    int w() const { return p.geo.width1; }
    int h() const { return p.geo.height1; }
    std::string history(int line) const { return p.shell.process_info[line]; }
    // The loaded image through a tone curve, the label band kept.
    Frame curved(const uint16_t* table, int kept_rows = 0) const {
        Frame out = loaded;
        for (size_t i = size_t(kept_rows) * w(); i < out.size(); ++i)
            out[i] = static_cast<uint16_t>(2 * table[out[i] >> 1]);
        return out;
    }

    Frame loaded;
};

TEST_F(ProcessingCommandsTest, CurvesWithoutDialogsRewriteEveryPixel) {
    load_image(false);
    uint16_t table[kToneTableEntries];
    const struct {
        int id;
        void (*curve)(uint16_t*);
        const char* history;
    } curves[] = {{105, invert_curve, "Invert Image to Negative"},
                  {102, log_curve, "Log Stretch"},
                  {103, antilog_curve, "Anti-Log Stretch"},
                  {101, sine_curve, "Sine Stretch"}};
    for (const auto& c : curves) {
        const Frame before = image();
        run_script("command " + std::to_string(c.id));
        c.curve(table);
        loaded = before;
        EXPECT_EQ(image(), curved(table)) << c.id;
        EXPECT_EQ(undo(), before) << c.id;
        EXPECT_EQ(history(history_length(p) - 1), c.history);
    }
    EXPECT_EQ(history_length(p), 4);
}

TEST_F(ProcessingCommandsTest, NormalStretchFromItsDialogKeepsALabelBand) {
    load_image(true, true);
    run_script(
        "dialog 3 scroll 102 thumb 10 scroll 103 thumb 200 scroll 103 linedown click 1\n"
        "command 1");
    uint16_t table[kToneTableEntries];
    normal_curve(table, 10, 201);
    EXPECT_EQ(image(), curved(table, 10));
    EXPECT_EQ(p.processing.black, 1280u);
    EXPECT_EQ(p.processing.white, 201u * 128);
    EXPECT_EQ(history(0), "Normal Stretch : max 201 ,min 10");
}

TEST_F(ProcessingCommandsTest, PowerBackgroundAndNonLinearStretches) {
    load_image(false);
    // Ten steps right: power 2.0.
    run_script(
        "dialog 2 scroll 101 linedown scroll 101 linedown scroll 101 linedown scroll 101 "
        "linedown scroll 101 linedown scroll 101 linedown scroll 101 linedown scroll 101 "
        "linedown scroll 101 linedown scroll 101 linedown click 1\ncommand 2");
    uint16_t table[kToneTableEntries];
    power_curve(table, p.processing.power_str);
    EXPECT_EQ(image(), curved(table));
    EXPECT_EQ(history(0), "Power Stretch : 2.0");

    // Power 1.0 confirmed: nothing happens.
    const Frame before = image();
    run_script("dialog 2 click 1\ncommand 2");
    EXPECT_EQ(image(), before);
    EXPECT_EQ(history_length(p), 1);

    // Background removal needs a background above level 2.
    run_script("set most_pop 2\ncommand 120");
    EXPECT_EQ(image(), before);
    run_script("set most_pop 10\ncommand 120");
    background_curve(table, 1024, 255.0 / 247);
    loaded = before;
    EXPECT_EQ(image(), curved(table));
    EXPECT_EQ(p.processing.black, 1024u);
    EXPECT_EQ(history(1), "Background Removed : min 8");

    // A typed power of 60 is refused (the dialog stays with 25); OK then takes 25.
    const Frame before_veltran = image();
    run_script("dialog 16 edit 102 60 click 1 click 1\ncommand 117");
    veltran_curve(table, 25);
    loaded = before_veltran;
    EXPECT_EQ(image(), curved(table));
    EXPECT_EQ(history(2), "Non-Linear Stretch : power 25");
}

TEST_F(ProcessingCommandsTest, TheSixteenthStretchIsAppliedButNotRecorded) {
    load_image(false);
    for (int i = 0; i < 15; ++i) append_history(p, "line");
    const Frame before = image();
    run_script("command 105");
    EXPECT_NE(image(), before);
    EXPECT_EQ(history_length(p), 15);
    EXPECT_EQ(history(14), "line");
}

TEST_F(ProcessingCommandsTest, KernelFiltersMatchTheDirectConvolution) {
    const struct {
        int id, r, k, d;
        const char* history;
    } filters[] = {
        {5, 1, 0, 16, "Lowpass Smoother Filter"},     {4, 2, 1, 80, "Gaussian Filter"},
        {107, 1, 2, 1, "High Pass Low Power Filter"}, {108, 2, 3, 1, "High Pass High Power Filter"},
        {109, 2, 4, 1, "Smoother/Sharper Filter"},    {7, 2, 5, 1, "Bas Relief Filter"}};
    for (bool band : {false, true}) {
        load_image(band, band, 3);
        for (const auto& f : filters) {
            const Frame before = image();
            run_script("command " + std::to_string(f.id));
            Frame want;
            reference_convolution(before, want, w(), h(), band ? 10 : 0, f.r, f.k, f.d);
            ASSERT_EQ(image(), want) << f.id;
            EXPECT_EQ(undo(), before);
            EXPECT_EQ(history(history_length(p) - 1), f.history);
        }
    }
}

TEST_F(ProcessingCommandsTest, UnsharpAndMedianTakeTheirDialogsParameters) {
    load_image(false, true, 4);
    run_script(
        "dialog 1 scroll 101 linedown scroll 102 linedown scroll 102 linedown click 1\n"
        "command 106");
    Frame want;
    reference_unsharp(loaded, want, w(), h(), 10, 4, 3);
    EXPECT_EQ(image(), want);
    EXPECT_EQ(history(0), "Unsharp Mask : rad 4 ,power 3");

    load_image(false, false, 5, 40);  // few values: many ties in the windows
    EXPECT_EQ(history_length(p), 0);  // a new image starts a new history
    run_script("dialog 4 scroll 103 linedown scroll 104 lineup click 1\ncommand 3");
    want = reference_median(loaded, w(), h(), 0, 2, {5})[0];
    EXPECT_EQ(image(), want);
    EXPECT_EQ(undo(), loaded);
    EXPECT_EQ(history(0), "Median Filter : rad 2 ,power 0.5");

    // Cancelled dialogs change nothing.
    const Frame before = image();
    run_script("command 106\ncommand 3");
    EXPECT_EQ(image(), before);
    EXPECT_EQ(history_length(p), 1);
}

TEST_F(ProcessingCommandsTest, GradientAndVerticalSmoothing) {
    load_image(true, false, 6, 64);
    // A brighter top-left patch gives a gradient to remove.
    for (int y = 10; y < 50; ++y)
        for (int x = 20; x < 60; ++x) p.ptr.image[y * w() + x] += 1600;
    const Frame before = image();
    run_script("command 18");
    EXPECT_EQ(undo(), before);
    EXPECT_LT(image()[0], before[0] + 1);
    EXPECT_EQ(history(0), "Gradient Filter");
    run_script("command 29");
    EXPECT_EQ(history(1), "Vertical Smoothing Filter");
    EXPECT_EQ(image()[0], (undo()[0] + undo()[w()]) / 2);
}

TEST_F(ProcessingCommandsTest, SubtractAverageAndFlatFieldWithAFileFromDisk) {
    load_image(false, false, 7);
    const Frame other = random_pixels(false, 8, 65536);
    write_native("other.raw", other);
    run_script("file c:\\other.raw\ncommand 110");
    Frame got = image();
    for (size_t i = 0; i < pixels(); ++i)
        ASSERT_EQ(got[i], loaded[i] > other[i] ? loaded[i] - other[i] : 0) << i;
    EXPECT_EQ(history(0), "Dark Frame Subtracted");
    EXPECT_EQ(undo(), loaded);

    loaded = image();
    run_script("file c:\\other.raw\ncommand 126");
    got = image();
    for (size_t i = 0; i < pixels(); ++i) ASSERT_EQ(got[i], (loaded[i] + other[i]) / 2);
    EXPECT_EQ(history_length(p), 1);  // averaging records nothing

    loaded = image();
    run_script("file c:\\other.raw\ncommand 115");
    Frame want = loaded;
    double sum = 0;
    for (int y = 10; y <= 19; ++y)
        for (int x = 5; x <= w() - 2; ++x) sum += other[y * w() + x];
    for (int row = 1; row < h(); ++row) reference_flat_field_row(want, other, w(), row, sum / 3700);
    EXPECT_EQ(image(), want);
    EXPECT_EQ(history(1), "Flat Field Applied");

    // A cancelled choice or a file of the other frame size changes nothing.
    const Frame before = image();
    write_native("full.raw", random_pixels(true, 9, 65536));
    const std::string out = run_script("file cancel\ncommand 110\nfile c:\\full.raw\ncommand 110");
    EXPECT_EQ(image(), before);
    EXPECT_NE(out.find("message"), std::string::npos) << out;
    EXPECT_EQ(history_length(p), 2);
}

TEST_F(ProcessingCommandsTest, UndoRestoresAndDropsTheLastHistoryLine) {
    load_image(false);
    // With an empty history: the image comes back and the history stays empty.
    run_script("command 9");
    EXPECT_EQ(image(), undo());
    EXPECT_EQ(history_length(p), 0);

    loaded = image();
    run_script("command 105");
    run_script("command 9");
    EXPECT_EQ(image(), loaded);
    EXPECT_EQ(history_length(p), 0);

    for (int i = 0; i < 14; ++i) append_history(p, "earlier");
    run_script("command 102");
    ASSERT_EQ(history_length(p), 15);
    run_script("command 9\ncommand 9");  // a second undo restores the same image again
    EXPECT_EQ(image(), loaded);
    EXPECT_EQ(history_length(p), 13);
}

TEST_F(ProcessingCommandsTest, MirrorHasNoUndoCopyAndNoHistory) {
    load_image(true, true);
    const Frame undo_before = undo();
    run_script("command 302");
    EXPECT_EQ(undo(), undo_before);
    EXPECT_EQ(history_length(p), 0);
    for (int x = 0; x < w(); x += 51) {
        EXPECT_EQ(image()[5 * w() + x], loaded[5 * w() + x]);  // label band in place
        EXPECT_EQ(image()[300 * w() + x], loaded[300 * w() + w() - 1 - x]);
    }
}

}  // namespace
}  // namespace kvr::test
