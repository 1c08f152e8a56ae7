#include "files/fits_file.h"

#include <cstring>

#include "core/program.h"
#include "files/file_io.h"
#include "files/file_test_support.h"
#include "files/image_file_kinds.h"
#include "files/image_files.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class FitsTest : public ProgramTest {
  protected:
    std::string path(const std::string& name) { return drives.path() + "/" + name; }
    std::string save(const std::string& name, int eightbit = 0) {
        EXPECT_EQ(save_fits_file(p, path(name), p.ptr.image, eightbit), 0);
        return read_bytes(path(name));
    }
    void use_full_frame() {
        p.readout.binned = 0;
        p.readout.binned21 = 1;
        set_readout_geometry(p);
    }
};

std::string padded(std::string text) {
    text.resize(80, ' ');
    return text;
}

TEST_F(FitsTest, BinnedSixteenBitFileIsByteExact) {
    copy_text(p.settings.FITS_Obj, "M42");
    copy_text(p.settings.FITS_Date, "2027-01-01");
    copy_text(p.shell.process_info[0], "Dark Frame Subtracted");
    p.settings.FITS_Pixwidth = 0.0086;
    p.settings.FITS_Exptime = 120;
    p.settings.FITS_Focallen = -12.5;
    const std::string f = save("a.fit");
    ASSERT_EQ(f.size(), 224640u);
    EXPECT_EQ(card(f, 1), padded("SIMPLE  =                    T /"));
    EXPECT_EQ(card(f, 2), padded("BITPIX  =                   16 /"));
    EXPECT_EQ(card(f, 4), padded("NAXIS1  =                  376 /"));
    EXPECT_EQ(card(f, 5), padded("NAXIS2  =                  290 /"));
    EXPECT_EQ(card(f, 6), padded("OBJECT  = 'M42'"));
    EXPECT_EQ(card(f, 8), padded("INSTRUME= 'Korvalen Imaging CCD'"));
    EXPECT_EQ(card(f, 11), padded("DATE-OBS= '2027-01-01'"));
    EXPECT_EQ(card(f, 13), padded("HISTORY = 'Dark Frame Subtracted'"));
    EXPECT_EQ(card(f, 14), padded("HISTORY = ''"));
    // An empty text still gives four slices of 68 spaces with the quote in column 80.
    for (int c = 28; c <= 35; ++c)
        EXPECT_EQ(card(f, c),
                  std::string(c < 32 ? "HISTORY = '" : "COMMENT = '") + std::string(68, ' ') + "'");
    EXPECT_EQ(card(f, 36), padded("BZERO   =   +3.2768000000E+04"));
    EXPECT_EQ(card(f, 37), padded("BSCALE  =   +1.0000000000E+00"));
    EXPECT_EQ(card(f, 38), padded("PIXWIDTH=    8.6000000000E-03"));
    EXPECT_EQ(card(f, 40), padded("SATURATE=                32768"));
    EXPECT_EQ(card(f, 41), padded("EXPTIME =    1.2000000000E+02"));
    EXPECT_EQ(card(f, 42), padded("FOCALLEN=    -1.2500000000E+01"));
    EXPECT_EQ(card(f, 44), padded("FILTER  = 'None'"));
    EXPECT_EQ(card(f, 45), padded("END"));
    for (int c = 46; c <= 72; ++c) EXPECT_EQ(card(f, c), std::string(80, ' '));
    EXPECT_EQ(f.substr(5760 + 218080), std::string(800, '\0'));
}

TEST_F(FitsTest, PixelWordsInSignedAndUnsignedFormat) {
    p.ptr.image[0] = 65535;
    p.ptr.image[1] = 0;
    p.ptr.image[2] = 0x1234;
    std::string f = save("s.fit");
    EXPECT_EQ(f.substr(5760, 6), std::string("\x7f\xff\x80\x00\x92\x34", 6));
    p.settings.FITS_SBIG = 1;
    f = save("u.fit");
    EXPECT_EQ(f.substr(5760, 6), std::string("\xff\xff\x00\x00\x12\x34", 6));
    EXPECT_EQ(card(f, 36), padded("BZERO   =   +0.0000000000E+00"));
    EXPECT_EQ(card(f, 40), padded("SATURATE=                65535"));
}

TEST_F(FitsTest, BothFormatsReloadToTheSamePixelsAndFormat) {
    for (int sbig : {0, 1}) {
        for (int binned : {1, 0}) {
            p.readout.binned = binned;
            set_readout_geometry(p);
            const size_t pixels = size_t(p.geo.width1) * p.geo.height1;
            fill_pattern(p.ptr.image, pixels);
            p.settings.FITS_SBIG = sbig;
            const std::string f = save("r.fit");
            EXPECT_EQ(f.size(), binned ? 224640u : 878880u);
            std::memset(p.ptr.image, 0, pixels * 2);
            p.settings.FITS_SBIG = 1 - sbig;
            ASSERT_EQ(load_fits_file(p, path("r.fit"), 3, p.ptr.image), 0);
            EXPECT_EQ(p.settings.FITS_SBIG, sbig);
            EXPECT_EQ(p.readout.binned, binned);
            EXPECT_EQ(p.readout.binned21, 1 - binned);
            for (size_t i = 0; i < pixels; ++i)
                ASSERT_EQ(p.ptr.image[i], pattern_pixel(i)) << "pixel " << i;
        }
    }
}

TEST_F(FitsTest, EightBitFilesHoldHighBytesAndEndOnABlock) {
    p.ptr.image[0] = 0xABCD;
    std::string f = save("b8.fit", 1);
    EXPECT_EQ(card(f, 2), padded("BITPIX  =                    8 /"));
    EXPECT_EQ(f.size(), 5760u + 109040u + 400u);
    EXPECT_EQ(static_cast<uint8_t>(f[5760]), 0xAB);
    use_full_frame();
    f = save("f8.fit", 1);
    EXPECT_EQ(f.size() % 2880, 0u);
    EXPECT_EQ(f.size(), 443520u);
    EXPECT_EQ(f.substr(5760 + 436160), std::string(1600, '\0'));
    // Not one of the 16-bit lengths: the loaders find it by its keywords and read it back as the
    // high bytes it holds.
    EXPECT_EQ(image_file_kind(f.size()), ImageFileKind::Unknown);
    EXPECT_EQ(image_file_kind(f.size(), reinterpret_cast<const uint8_t*>(f.data()), f.size()),
              ImageFileKind::FitsFull);
    p.ptr.image[0] = 0;
    EXPECT_EQ(load_fits_file(p, path("f8.fit"), 3, p.ptr.image), 0);
    EXPECT_EQ(p.ptr.image[0], 0xAB00);
}

TEST_F(FitsTest, StringCardsDoubleQuotesAndStayWithinTheCard) {
    copy_text(p.settings.FITS_Obj, std::string(60, 'x'));
    copy_text(p.settings.FITS_Tel, "Barnard's Loop");
    copy_text(p.settings.FITS_Filter, std::string(71, 'f'));
    copy_text(p.settings.FITS_Src, "tab\there");
    copy_text(p.settings.FITS_Obs, std::string(67, '\''));
    const std::string f = save("q.fit");
    EXPECT_EQ(card(f, 6).find_last_of('\''), 71u);  // closing quote in column 72
    EXPECT_EQ(card(f, 7), padded("TELESCOP= 'Barnard''s Loop'"));
    EXPECT_EQ(card(f, 44), "FILTER  = '" + std::string(68, 'f') + "'");
    EXPECT_EQ(card(f, 10), padded("ORIGIN  = 'tab here'"));
    EXPECT_EQ(card(f, 9), padded("OBSERVER= '" + std::string(68, '\'') + "'"));
    clear_fits_info(p);
    ASSERT_EQ(load_fits_file(p, path("q.fit"), 3, p.ptr.image), 0);
    EXPECT_STREQ(p.settings.FITS_Tel, "Barnard's Loop");
    EXPECT_EQ(std::string(p.settings.FITS_Obs), std::string(34, '\''));
    EXPECT_EQ(std::string(p.settings.FITS_Filter), std::string(68, 'f'));
}

TEST_F(FitsTest, LongTextsSplitIntoFourSlicesAndReloadPadded) {
    std::string his;
    for (int i = 0; i < 254; ++i) his += static_cast<char>('a' + i % 26);
    copy_text(p.settings.FITS_His, his);
    copy_text(p.settings.FITS_Com, "it's a comment");
    const std::string f = save("h.fit");
    EXPECT_EQ(card(f, 28), "HISTORY = '" + his.substr(0, 68) + "'");
    EXPECT_EQ(card(f, 31), "HISTORY = '" + his.substr(204) + std::string(18, ' ') + "'");
    EXPECT_EQ(card(f, 32), "COMMENT = 'it''s a comment" + std::string(53, ' ') + "'");
    ASSERT_EQ(load_fits_file(p, path("h.fit"), 3, p.ptr.image), 0);
    const std::string reloaded = p.settings.FITS_His;
    EXPECT_EQ(reloaded.size(), 255u);
    EXPECT_EQ(reloaded, his.substr(0, 254) + " ");
    EXPECT_EQ(std::string(p.settings.FITS_Com).substr(0, 15), "it's a comment ");
}

TEST_F(FitsTest, QuotesAcrossASliceBoundaryDoNotInsertSpaces) {
    const std::string text = std::string(67, 'a') + "'b";
    copy_text(p.settings.FITS_Com, text);
    const std::string f = save("c.fit");
    EXPECT_EQ(card(f, 32), padded("COMMENT = '" + std::string(67, 'a') + "'"));
    ASSERT_EQ(load_fits_file(p, path("c.fit"), 3, p.ptr.image), 0);
    EXPECT_EQ(std::string(p.settings.FITS_Com).substr(0, 70), text + std::string(1, ' '));
}

TEST_F(FitsTest, ForeignHeadersAreRefusedWithResultTwo) {
    save("x.fit");
    std::string f = read_bytes(path("x.fit"));
    auto refused = [&](int number, const std::string& text) {
        std::string bad = f;
        bad.replace(static_cast<size_t>(number - 1) * 80, 80, padded(text));
        write_bytes(path("bad.fit"), bad);
        return load_fits_file(p, path("bad.fit"), 3, p.ptr.image);
    };
    EXPECT_EQ(refused(2, "BITPIX  =                   32 /"), 2);
    EXPECT_EQ(refused(3, "NAXIS   =                    3 /"), 2);
    EXPECT_EQ(refused(4, "NAXIS1  =                  752 /"), 2);  // not the binned frame
    EXPECT_EQ(refused(5, "NAXIS2  =                  580 /"), 2);
    EXPECT_EQ(refused(4, "NAXIS1  =                  100 /"), 2);
    // A file cut short before its data cannot be read.
    write_bytes(path("short.fit"), f.substr(0, 5760 + 1000));
    EXPECT_EQ(load_fits_file(p, path("short.fit"), 3, p.ptr.image), 1);
    EXPECT_EQ(load_fits_file(p, path("missing.fit"), 3, p.ptr.image), 1);
}

TEST_F(FitsTest, ClearFITSInfoKeepsOriginPixelSizesAndFormat) {
    copy_text(p.settings.FITS_Obj, "M1");
    copy_text(p.settings.FITS_Src, "Here");
    copy_text(p.settings.FITS_Ins, "Other");
    copy_text(p.settings.FITS_Filter, "R");
    copy_text(p.shell.process_info[14], "Flat Field Applied");
    p.settings.FITS_Exptime = 5;
    p.settings.FITS_Pixwidth = 1;
    p.settings.FITS_SBIG = 1;
    p.settings.FITS_Diff = 3;
    clear_fits_info(p);
    EXPECT_STREQ(p.settings.FITS_Obj, "");
    EXPECT_STREQ(p.shell.process_info[14], "");
    EXPECT_STREQ(p.settings.FITS_Ins, "Korvalen Imaging CCD");
    EXPECT_STREQ(p.settings.FITS_Filter, "None");
    EXPECT_EQ(p.settings.FITS_Exptime, 0);
    EXPECT_STREQ(p.settings.FITS_Src, "Here");
    EXPECT_EQ(p.settings.FITS_Pixwidth, 1);
    EXPECT_EQ(p.settings.FITS_SBIG, 1);
    EXPECT_EQ(p.settings.FITS_Diff, 3);
}

TEST_F(FitsTest, NumbersNotFiniteAreWrittenAsZeroAndNegativeOnesReloadWhole) {
    p.settings.FITS_Aperture = std::numeric_limits<double>::infinity();
    p.settings.FITS_Focallen = -0.00123;
    const std::string f = save("n.fit");
    EXPECT_EQ(card(f, 43), padded("APERTURE=    0.0000000000E+00"));
    ASSERT_EQ(load_fits_file(p, path("n.fit"), 3, p.ptr.image), 0);
    EXPECT_DOUBLE_EQ(p.settings.FITS_Focallen, -0.00123);
}

TEST_F(FitsTest, UnwritableFileGivesResultOne) {
    EXPECT_EQ(save_fits_file(p, drives.path() + "/no/such/dir/x.fit", p.ptr.image, 0), 1);
}

// Every header field with its own value survives a save and a load: a reader that took any
// value from a neighbouring card would show it here.
TEST_F(FitsTest, EveryHeaderFieldRoundTripsWithItsOwnValue) {
    SettingsState& s = p.settings;
    struct Text {
        char* field;
        size_t capacity;
        const char* value;
    };
    const Text texts[] = {{s.FITS_Obj, sizeof s.FITS_Obj, "obj"},
                          {s.FITS_Tel, sizeof s.FITS_Tel, "tel"},
                          {s.FITS_Ins, sizeof s.FITS_Ins, "ins"},
                          {s.FITS_Obs, sizeof s.FITS_Obs, "obs"},
                          {s.FITS_Src, sizeof s.FITS_Src, "src"},
                          {s.FITS_Date, sizeof s.FITS_Date, "2027-02-03"},
                          {s.FITS_Time, sizeof s.FITS_Time, "04:05:06"},
                          {s.FITS_Filter, sizeof s.FITS_Filter, "filter"}};
    for (const Text& t : texts) copy_text(t.field, t.capacity, t.value);
    copy_text(s.FITS_His, "his");
    copy_text(s.FITS_Com, "com");
    for (int i = 0; i < kFitsHistoryLines; ++i)
        copy_text(p.shell.process_info[i], "line " + std::to_string(i));
    double* numbers[] = {&s.FITS_Pixwidth, &s.FITS_Pixheight, &s.FITS_Exptime, &s.FITS_Focallen,
                         &s.FITS_Aperture};
    for (int i = 0; i < 5; ++i) *numbers[i] = 1.5 + i;
    s.FITS_SBIG = 1;
    const std::string file = save("all.fit");
    clear_fits_info(p);
    for (double* n : numbers) *n = 0;
    s.FITS_SBIG = 0;
    ASSERT_EQ(load_fits_file(p, path("all.fit"), 3, p.ptr.image), 0);
    for (const Text& t : texts) EXPECT_STREQ(t.field, t.value);
    EXPECT_EQ(std::string(s.FITS_His).find_last_not_of(' '), 2u);  // read back padded
    EXPECT_EQ(std::string(s.FITS_Com, 3), "com");
    EXPECT_EQ(std::string(s.FITS_His, 3), "his");
    for (int i = 0; i < kFitsHistoryLines; ++i)
        EXPECT_EQ(std::string(p.shell.process_info[i]), "line " + std::to_string(i));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(*numbers[i], 1.5 + i) << i;
    EXPECT_EQ(s.FITS_SBIG, 1);
}

// A full frame written by another program: cards in its own order, a stray card, signed data
// with or without BZERO, a header of one block or of three. What the buffers cannot hold is
// refused.
TEST_F(FitsTest, ForeignFitsImagesAreReadByKeywordWhateverTheirHeaderLength) {
    auto header = [](int bitpix, int naxis, int width, const std::string& zero, int notes = 0) {
        std::string h = padded("SIMPLE  =                    T");
        for (int i = 0; i < notes; ++i) h += padded("COMMENT   a long header");
        for (const std::string& c : std::initializer_list<std::string>{
                 "BITPIX  = " + std::string(20 - std::to_string(bitpix).size(), ' ') +
                     std::to_string(bitpix),
                 "NAXIS   =                    " + std::to_string(naxis),
                 "NAXIS1  =                  " + std::to_string(width),
                 "NAXIS2  =                  580",
                 naxis == 3 ? "NAXIS3  =                    1" : "", "COMMENT   written elsewhere",
                 "EXPOSURE=                 99.0 / not EXPTIME", "EXPTIME =                 12.5",
                 "OBJECT  = 'M 51    '", "HISTORY   flat fielded", zero, "END"})
            h += padded(c);
        h.resize((h.size() + 2879) / 2880 * 2880, ' ');
        return h;
    };
    std::string data(875520 - 2880, '\0');
    data[0] = '\xff', data[1] = '\xfb';  // -5
    data[2] = '\x03', data[3] = '\xe8';  // 1000
    use_full_frame();
    write_bytes(path("plain.fit"), header(16, 2, 752, "") + data);
    ASSERT_EQ(load_fits_file(p, path("plain.fit"), 3, p.ptr.image), 0);
    EXPECT_EQ(p.ptr.image[0], 0);  // -5 has no place in the buffer: the nearest value
    EXPECT_EQ(p.ptr.image[1], 1000);
    EXPECT_STREQ(p.settings.FITS_Obj, "M 51");
    EXPECT_EQ(p.settings.FITS_Exptime, 12.5);
    EXPECT_STREQ(p.shell.process_info[0], "flat fielded");
    EXPECT_STREQ(p.settings.FITS_Com, "written elsewhere");
    write_bytes(path("zero.fit"), header(16, 2, 752, "BZERO   =                32768") + data);
    ASSERT_EQ(load_fits_file(p, path("zero.fit"), 3, p.ptr.image), 0);
    EXPECT_EQ(p.ptr.image[0], 32763);
    EXPECT_EQ(p.ptr.image[1], 33768);
    const std::string three_blocks = header(16, 2, 752, "", 60);
    ASSERT_EQ(three_blocks.size(), 3 * 2880u);
    write_bytes(path("long.fit"), three_blocks + data);
    ASSERT_EQ(load_fits_file(p, path("long.fit"), 3, p.ptr.image), 0);
    EXPECT_EQ(p.ptr.image[1], 1000);
    EXPECT_STREQ(p.settings.FITS_Obj, "M 51");
    p.ptr.image[0] = 4321;
    for (const std::string& h :
         {header(-32, 2, 752, ""), header(16, 3, 752, ""), header(16, 2, 800, ""),
          header(16, 2, 752, "BSCALE  =                  2.0")}) {
        write_bytes(path("odd.fit"), h + data);
        EXPECT_EQ(load_fits_file(p, path("odd.fit"), 3, p.ptr.image), 2);
    }
    EXPECT_EQ(p.ptr.image[0], 4321);
}

}  // namespace
}  // namespace kvr::test
