// Labels burnt into the image: the centred line, every glyph of the font, the band and its mark,
// a line wider than the frame, and the label dialog's rules.
#include "files/label_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "core/image_store.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/time_zone.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

// The font as published with the program: rows 1-10 of each glyph, top first.
const std::map<char, const char*> kFontTable = {
    {'A', "00 3C 66 66 7E 66 66 66 66 00"}, {'B', "00 7C 66 66 7C 66 66 66 7C 00"},
    {'C', "00 3C 66 60 60 60 60 66 3C 00"}, {'D', "00 78 6C 66 66 66 66 6C 78 00"},
    {'E', "00 7C 60 60 7C 60 60 60 7C 00"}, {'F', "00 7E 60 60 7C 60 60 60 60 00"},
    {'G', "00 3C 60 60 60 6E 66 66 3C 00"}, {'H', "00 66 66 66 7E 66 66 66 66 00"},
    {'I', "00 7E 18 18 18 18 18 18 7E 00"}, {'J', "00 3E 0C 0C 0C 0C 0C 6C 38 00"},
    {'K', "00 66 6C 78 70 78 6C 66 66 00"}, {'L', "00 60 60 60 60 60 60 60 7E 00"},
    {'M', "00 63 77 7F 6B 6B 63 63 63 00"}, {'N', "00 66 66 76 7E 6E 66 66 66 00"},
    {'O', "00 3C 66 66 66 66 66 66 3C 00"}, {'P', "00 7C 66 66 7C 60 60 60 60 00"},
    {'Q', "00 3C 66 66 66 66 6A 6C 36 00"}, {'R', "00 7C 66 66 7C 6C 66 66 66 00"},
    {'S', "00 3C 66 60 3C 06 66 66 3C 00"}, {'T', "00 7E 18 18 18 18 18 18 18 00"},
    {'U', "00 66 66 66 66 66 66 66 3C 00"}, {'V', "00 66 66 66 66 66 66 3C 18 00"},
    {'W', "00 63 63 63 6B 6B 7F 77 63 00"}, {'X', "00 66 66 3C 18 3C 66 66 66 00"},
    {'Y', "00 66 66 66 3C 18 18 18 18 00"}, {'Z', "00 7E 06 0C 18 30 60 60 7E 00"},
    {'/', "00 06 0C 18 30 60 00 00 00 00"}, {' ', "00 00 00 00 00 00 00 00 00 00"},
    {'-', "00 00 00 00 3C 00 00 00 00 00"}, {':', "00 00 00 38 00 00 38 00 00 00"},
    {'0', "00 3C 66 6E 7E 76 66 66 3C 00"}, {'1', "00 18 38 18 18 18 18 18 3C 00"},
    {'2', "00 3C 66 06 0C 18 30 62 7E 00"}, {'3', "00 3C 66 06 1C 06 66 66 3C 00"},
    {'4', "00 0C 1C 3C 6C 7E 0C 0C 0C 00"}, {'5', "00 7E 60 60 7C 06 06 66 3C 00"},
    {'6', "00 0C 18 30 60 7C 66 66 3C 00"}, {'7', "00 7E 06 0C 18 30 30 30 30 00"},
    {'8', "00 3C 66 66 3C 66 66 66 3C 00"}, {'9', "00 3C 66 66 3E 06 0C 18 30 00"},
    {'a', "00 00 00 3C 06 3E 3E 66 3E 00"}, {'b', "00 60 60 60 7C 66 66 66 7C 00"},
    {'c', "00 00 00 3C 66 60 60 66 3C 00"}, {'d', "00 06 06 06 3E 66 66 66 3E 00"},
    {'e', "00 00 00 3C 66 66 7E 60 3C 00"}, {'f', "00 1C 30 30 7C 30 30 30 30 00"},
    {'g', "00 00 00 3E 66 66 3E 06 06 3C"}, {'h', "00 60 60 60 7C 66 66 66 66 00"},
    {'i', "00 18 00 38 18 18 18 18 3C 00"}, {'j', "00 18 00 38 18 18 18 18 18 70"},
    {'k', "00 60 60 66 6C 78 6C 66 66 00"}, {'l', "00 38 18 18 18 18 18 18 3C 00"},
    {'m', "00 00 00 36 7F 6B 6B 63 63 00"}, {'n', "00 00 00 7C 66 66 66 66 66 00"},
    {'o', "00 00 00 3C 66 66 66 66 3C 00"}, {'p', "00 00 00 7C 66 66 7C 60 60 60"},
    {'q', "00 00 00 3E 66 66 3E 06 06 07"}, {'r', "00 00 00 6C 76 60 60 60 60 00"},
    {'s', "00 00 00 3E 60 3C 06 06 7C 00"}, {'t', "00 00 30 30 7C 30 30 30 1C 00"},
    {'u', "00 00 00 66 66 66 66 66 3E 00"}, {'v', "00 00 00 66 66 66 66 3C 18 00"},
    {'w', "00 00 00 63 63 6B 6B 7F 36 00"}, {'x', "00 00 00 66 3C 18 3C 66 66 00"},
    {'y', "00 00 00 66 66 66 3E 06 06 3C"}, {'z', "00 00 00 7E 0C 18 30 30 7E 00"},
    {'!', "00 00 00 00 00 00 00 00 00 00"},  // not in the font: a black cell
};

class LabelTest : public ProgramTest {
  protected:
    LabelTest() {
        apply_time_zone(p);  // UT
        std::fill_n(p.ptr.image, p.geo.intlength, uint16_t{1234});
    }
    // Cell k of the label band as 10 rows of hexadecimal bytes, read back from the pixels.
    std::string cell(int k) const {
        std::ostringstream rows;
        for (int r = 0; r < 10; ++r) {
            int bits = 0;
            for (int x = 0; x < 8; ++x) {
                const uint16_t v = p.ptr.image[r * p.geo.width1 + 8 * k + x];
                if (r == 0 && 8 * k + x < kLabelMarkPixels) continue;  // under the mark
                bits |= (v == 65535 ? 1 : 0) << (7 - x);
            }
            char hex[12];
            std::snprintf(hex, sizeof hex, "%02X", bits);
            rows << (r ? " " : "") << hex;
        }
        return rows.str();
    }
};

TEST_F(LabelTest, M42IsCentredWithTheClocksDateAfterIt) {
    clock.advance((22 * 3600 + 5 * 60) * 1000);  // 2027-01-01 22:05:00 UT
    EXPECT_EQ(label_line(p, 1, "M42"), std::string(18, ' ') + "M42  22:05:00 UT 01-01-2027 ");
    EXPECT_EQ(label_line(p, 0, "M42"), std::string(30, ' ') + "M42");
    p.settings.auto_FITS_date = 1;
    copy_text(p.settings.FITS_Time, "21:00:07");
    copy_text(p.settings.FITS_Date, "2026-12-31");
    EXPECT_EQ(label_line(p, 1, "M42"), std::string(18, ' ') + "M42 21:00:07 UT 2026-12-31");
}

TEST_F(LabelTest, EveryGlyphIsDrawnAsTabulatedInsideAMarkedBand) {
    p.readout.binned = 0;  // 752 pixels: 94 cells, room for the whole font in one line
    p.readout.binned21 = 1;
    set_readout_geometry(p);
    std::string all;
    for (const auto& [c, rows] : kFontTable) all += c;
    do_label_image(p, 0, all, p.ptr.image);
    for (size_t k = 0; k < all.size(); ++k)
        EXPECT_EQ(cell(static_cast<int>(k)), kFontTable.at(all[k])) << "glyph '" << all[k] << "'";

    const int width = p.geo.width1;
    for (int i = 0; i < kLabelMarkPixels; ++i) EXPECT_EQ(p.ptr.image[i], 17);
    for (int i = kLabelMarkPixels; i < 10 * width; ++i)
        ASSERT_TRUE(p.ptr.image[i] == 0 || p.ptr.image[i] == 65535) << "pixel " << i;
    EXPECT_EQ(p.ptr.image[10 * width], 1234);  // row 10 untouched
}

TEST_F(LabelTest, WideLinesGoOnInTheNextRowsButNeverPastTheFrame) {
    // Binned rows hold 47 cells: cell 47 starts at column 0 of row 1.
    const std::string wide = std::string(47, ' ') + "T" + std::string(16, ' ');
    do_label_image(p, 0, wide, p.ptr.image);
    EXPECT_EQ(p.ptr.image[p.geo.width1 * 2 + 3], 65535);  // top row of T's bar, one row down
    EXPECT_EQ(p.ptr.image[p.geo.width1 * 10 + 3], 0);     // T's last row spills into row 10

    const size_t frame = size_t(p.geo.width1) * p.geo.height1;
    const std::string endless(frame / 8 + 100, 'W');
    do_label_image(p, 0, endless, p.ptr.image);
    for (size_t i = frame; i < size_t(p.geo.intlength); ++i) EXPECT_EQ(p.ptr.image[i], 1234);
}

TEST_F(LabelTest, DialogRulesAndTheLabelCommand) {
    // "Use FITs Date" is refused while there is no FITS date; "Auto Date" is on at every opening.
    p.settings.auto_date = 0;
    std::string out = run_script(
        "dialog 8 click 103 edit 4090 OrionNebulaM42-winter-sky-of-2027 click 104\n"
        "command 8\nget auto_date\nget auto_FITS_date\nget txtbuffer\n");
    EXPECT_NE(out.find("message 50: Sorry, FITs date not set\n"), std::string::npos);
    EXPECT_NE(out.find("auto_date = 1\nauto_FITS_date = 0\ntxtbuffer = "
                       "OrionNebulaM42-winter-sky-of-2\n"),
              std::string::npos);
    EXPECT_EQ(p.ptr.image[5], 17);
    EXPECT_EQ(p.buf->image_int[5], 17);

    copy_text(p.settings.FITS_Date, "2027-01-01");
    out = run_script("dialog 8 click 103\ncommand 8\nget auto_FITS_date\nget auto_date\n");
    EXPECT_NE(out.find("auto_FITS_date = 1\nauto_date = 1\n"), std::string::npos);
    // Turning the date off turns the FITS date off too; Cancel leaves the image alone.
    std::fill_n(p.ptr.image, 10, uint16_t{1234});
    out = run_script("dialog 8 click 102 click 2\ncommand 8\nget auto_FITS_date\n");
    EXPECT_NE(out.find("auto_FITS_date = 0\n"), std::string::npos);
    EXPECT_EQ(p.ptr.image[5], 1234);
}

}  // namespace
}  // namespace kvr::test
