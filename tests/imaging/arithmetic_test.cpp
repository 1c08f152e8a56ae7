#include "imaging/arithmetic.h"

#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "acquire/calibration.h"
#include "core/history.h"
#include "core/image_store.h"
#include "imaging/header_band.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class ArithmeticTest : public ProgramTest {
  protected:
    void use_full_frames(bool full) {
        p.readout.binned = full ? 0 : 1;
        set_readout_geometry(p);
    }
    void fill_random(uint16_t* img, unsigned seed) {
        std::mt19937 rng(seed);
        for (int i = 0; i < kFrameBufferLength; ++i) img[i] = static_cast<uint16_t>(rng());
    }
    uint16_t* image() { return p.ptr.image; }
    uint16_t* trial() { return p.ptr.trial; }
};

TEST_F(ArithmeticTest, SubtractClipsAtZeroAndAverageTruncates) {
    uint16_t* a = image();
    uint16_t* b = trial();
    a[0] = 1000, b[0] = 1000;
    a[1] = 10, b[1] = 20;
    a[2] = 65535, b[2] = 1;
    do_subtract_image(p.geo, a, b);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[1], 0);
    EXPECT_EQ(a[2], 65534);
    a[0] = 65535, b[0] = 65535;
    a[1] = 1, b[1] = 2;
    do_average_image(p.geo, a, b);
    EXPECT_EQ(a[0], 65535);
    EXPECT_EQ(a[1], 1);
}

TEST_F(ArithmeticTest, WholeBufferPrimitivesCoverIntlengthAndNoMore) {
    use_full_frames(true);
    std::fill_n(trial(), kFrameBufferLength, 7);
    std::fill_n(image(), kFrameBufferLength, 9);
    copy_image(p.geo, image(), trial());
    EXPECT_EQ(image()[kFrameBufferLength - 1], 7);  // the 4 spare pixels are part of the run
    use_full_frames(false);
    std::fill_n(image(), kFrameBufferLength, 9);
    do_subtract_image(p.geo, image(), trial());
    EXPECT_EQ(image()[p.geo.intlength - 1], 2);
    EXPECT_EQ(image()[p.geo.intlength], 9);
}

TEST_F(ArithmeticTest, AddImageFillsEvenRowsFromTheOddRowBelow) {
    use_full_frames(true);
    const int w = p.geo.width1;
    fill_random(trial(), 1);
    fill_random(image(), 2);
    std::vector<uint16_t> before(image(), image() + kFrameBufferLength);
    do_add_image(p.geo, image(), trial(), true);
    for (int y = 0; y < p.geo.height1; ++y)
        for (int x = 0; x < w; x += 37) {
            const int i = y * w + x;
            if (y % 2)
                ASSERT_EQ(image()[i], before[i]);
            else
                ASSERT_EQ(image()[i], std::min(65535u, unsigned{trial()[i]} + before[i + w]));
        }
    do_add_image(p.geo, image(), trial(), false);
    EXPECT_EQ(image()[2 * w + 5], trial()[2 * w + 5]);
}

TEST_F(ArithmeticTest, FlatFieldDivisorsAndUntouchedColumns) {
    for (bool full : {false, true}) {
        use_full_frames(full);
        const int w = p.geo.width1;
        std::fill_n(trial(), kFrameBufferLength, 0);
        for (int y = 10; y <= 19; ++y)
            for (int x = 5; x <= p.geo.width2 - 1; ++x) trial()[y * w + x] = 1000;
        EXPECT_DOUBLE_EQ(flat_field_mean(p.geo, trial()), 1000.0);

        // A flat equal to the mean leaves the image as it is, but for rounding down.
        std::fill_n(trial(), kFrameBufferLength, 1000);
        fill_random(image(), 3);
        std::vector<uint16_t> before(image(), image() + kFrameBufferLength);
        do_flat_field(p.geo, image(), trial(), 1000.0, 7);
        for (int x = 0; x < w; ++x) {
            const int i = 7 * w + x;
            EXPECT_TRUE(image()[i] == before[i] || image()[i] == before[i] - 1) << x;
        }

        // A zero flat: non-zero pixels stay, zero pixels become the mean; columns 0, 1 and the
        // last are never touched.
        std::fill_n(trial(), kFrameBufferLength, 0);
        image()[7 * w + 0] = 0;
        image()[7 * w + 1] = 0;
        image()[7 * w + 2] = 0;
        image()[7 * w + 3] = 77;
        image()[7 * w + w - 1] = 0;
        image()[7 * w + w - 2] = 0;
        do_flat_field(p.geo, image(), trial(), 123.9, 7);
        EXPECT_EQ(image()[7 * w + 0], 0);
        EXPECT_EQ(image()[7 * w + 1], 0);
        EXPECT_EQ(image()[7 * w + 2], 123);
        EXPECT_EQ(image()[7 * w + 3], 77);
        EXPECT_EQ(image()[7 * w + w - 2], 123);
        EXPECT_EQ(image()[7 * w + w - 1], 0);

        // Bright pixels over a dim flat clip at 65535.
        std::fill_n(trial(), kFrameBufferLength, 1);
        image()[7 * w + 4] = 40000;
        do_flat_field(p.geo, image(), trial(), 2.0, 7);
        EXPECT_EQ(image()[7 * w + 4], 65535);
    }
}

TEST_F(ArithmeticTest, MirrorTwiceRestoresAndKeepsTheLabelBand) {
    for (bool full : {false, true}) {
        use_full_frames(full);
        fill_random(image(), 4);
        for (int i = 0; i < 6; ++i) image()[i] = 17;
        ASSERT_TRUE(has_header_band(image()));
        std::vector<uint16_t> before(image(), image() + p.geo.width1 * p.geo.height1);
        mirror_image(p.geo, image(), trial());
        const int w = p.geo.width1;
        EXPECT_EQ(image()[3 * w + 10], before[3 * w + 10]);  // band row untouched
        EXPECT_EQ(image()[20 * w + 10], before[20 * w + w - 11]);
        mirror_image(p.geo, image(), trial());
        EXPECT_TRUE(std::equal(before.begin(), before.end(), image()));
    }
}

class CalibrationTest : public ArithmeticTest {
  protected:
    std::string write_file(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = drives.path() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        return path;
    }
    static std::string card(const std::string& text) {
        std::string c = text;
        c.resize(80, ' ');
        return c;
    }
    // A FITS file laid out as this program writes it: 72 cards, big-endian data, zero tail.
    std::string write_fits(const std::string& name, int w, int h, bool bzero_zero,
                           const std::vector<int32_t>& values) {
        std::string header;
        header += card("SIMPLE  =                    T");
        header += card("BITPIX  =                   16");
        header += card("NAXIS   =                    2");
        header += card("NAXIS1  =                  " + std::to_string(w));
        header += card("NAXIS2  =                  " + std::to_string(h));
        for (int n = 6; n <= 72; ++n) {
            if (n == 36)
                header += card(bzero_zero ? "BZERO   =   +0.0000000000E+00"
                                          : "BZERO   =   +3.2768000000E+04");
            else
                header += card("COMMENT");
        }
        std::vector<uint8_t> bytes(header.begin(), header.end());
        for (int i = 0; i < w * h; ++i) {
            const uint16_t v =
                static_cast<uint16_t>(values[static_cast<size_t>(i) % values.size()]);
            bytes.push_back(static_cast<uint8_t>(v >> 8));
            bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        }
        const size_t total = w == 376 ? 224640 : 878880;
        bytes.resize(total, 0);
        return write_file(name, bytes);
    }
};

TEST_F(CalibrationTest, NativeDarkIsSubtractedAndFitsOffsetApplied) {
    std::vector<uint8_t> native(218080);
    for (size_t i = 0; i < native.size(); i += 2) native[i] = 100;  // every pixel 100
    const std::string dark = write_file("dark.raw", native);
    std::fill_n(image(), kFrameBufferLength, 150);
    image()[0] = 50;
    EXPECT_EQ(auto_remove(p, 0, dark, p.ptr.undo, image(), p.ptr.undo), kCalibrationOk);
    EXPECT_EQ(image()[0], 0);
    EXPECT_EQ(image()[1000], 50);

    // Signed storage with BZERO 32768: -32768 is read back as 0, 0 as 32768.
    const std::string fits = write_fits("dark.fts", 376, 290, false, {-32768 & 0xFFFF, 0});
    ASSERT_EQ(read_calibration_frame(p, fits, trial()), kCalibrationOk);
    EXPECT_EQ(trial()[0], 0);
    EXPECT_EQ(trial()[1], 32768);
    const std::string fits0 = write_fits("dark0.fts", 376, 290, true, {1234});
    ASSERT_EQ(read_calibration_frame(p, fits0, trial()), kCalibrationOk);
    EXPECT_EQ(trial()[5], 1234);
    // A dark from another program: a one-block header read by keyword, data padded to a block.
    std::string header =
        card("SIMPLE  =                    T") + card("BITPIX  =                   16") +
        card("NAXIS   =                    2") + card("NAXIS1  =                  376") +
        card("NAXIS2  =                  290") + card("BZERO   =                32768") +
        card("END");
    header.resize(2880, ' ');
    std::vector<uint8_t> other(header.begin(), header.end());
    other.resize(2880 + 218080 + 1600, 0);
    other[2880 + 2 * 5] = 0x84, other[2880 + 2 * 5 + 1] = 0xD2;  // 1234 - 32768, big-endian
    ASSERT_EQ(read_calibration_frame(p, write_file("other.fits", other), trial()), kCalibrationOk);
    EXPECT_EQ(trial()[5], 1234);
    EXPECT_EQ(trial()[6], 32768);  // stored 0
}

TEST_F(CalibrationTest, RefusalsLeaveTheImageUncalibrated) {
    std::fill_n(image(), kFrameBufferLength, 150);
    EXPECT_EQ(auto_remove(p, 0, drives.path() + "/missing", p.ptr.undo, image(), p.ptr.undo),
              kCalibrationOpenFailed);
    const std::string small = write_file("small.raw", std::vector<uint8_t>(218080));
    use_full_frames(true);  // a binned dark while full frames are taken
    EXPECT_EQ(auto_remove(p, 0, small, p.ptr.undo, image(), p.ptr.undo), kCalibrationWrongFile);
    const std::string odd = write_file("odd.raw", std::vector<uint8_t>(1000));
    EXPECT_EQ(auto_remove(p, 0, odd, p.ptr.undo, image(), p.ptr.undo), kCalibrationWrongFile);
    use_full_frames(false);
    const std::string wrong = write_fits("wide.fts", 752, 580, true, {1});
    EXPECT_EQ(auto_remove(p, 0, wrong, p.ptr.undo, image(), p.ptr.undo), kCalibrationWrongFile);
    EXPECT_EQ(image()[100], 150);
}

TEST_F(CalibrationTest, AutoFlatfieldSkipsTheFirstTwoRows) {
    std::vector<uint8_t> native(218080);
    for (size_t i = 0; i < native.size(); i += 2) native[i + 1] = 2;  // every pixel 512
    const std::string flat = write_file("flat.raw", native);
    std::fill_n(image(), kFrameBufferLength, 1000);
    image()[0] = 0;
    EXPECT_EQ(auto_flatfield(p, 0, flat, p.ptr.save, image(), p.ptr.save), kCalibrationOk);
    EXPECT_EQ(image()[1 * 376 + 10], 1000);  // row 1 untouched
    EXPECT_EQ(image()[2 * 376 + 10], 1000);  // 1000 / 512 · 512
}

TEST_F(ArithmeticTest, HistoryAppendsIntoTheFirstEmptyLineAndDropsThe16th) {
    for (int i = 0; i < 16; ++i) append_history(p, "Line " + std::to_string(i));
    EXPECT_EQ(history_length(p), 15);
    EXPECT_STREQ(p.shell.process_info[14], "Line 14");
    clear_history(p);
    append_history(p, std::string(60, 'x'));
    EXPECT_EQ(std::strlen(p.shell.process_info[0]), 39u);
}

}  // namespace
}  // namespace kvr::test
