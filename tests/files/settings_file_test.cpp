#include "files/settings_file.h"

#include <cstring>
#include <filesystem>
#include <random>

#include "app/startup.h"
#include "core/program.h"
#include "files/file_io.h"
#include "files/file_test_support.h"
#include "files/time_zone.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class SettingsFileTest : public ProgramTest {
  protected:
    std::string ini() { return drives.path() + "/c/autosave/KVR_Q4.INI"; }
    int load() { return load_ini_file(p, p.settings.ini_file); }
    int save() { return save_ini_file(p, p.settings.ini_file); }
    std::string file() { return read_bytes(ini()); }
    uint16_t u16_at(const std::string& f, size_t at) {
        return static_cast<uint16_t>(static_cast<uint8_t>(f[at]) | static_cast<uint8_t>(f[at + 1])
                                                                       << 8);
    }
};

TEST_F(SettingsFileTest, FreshFolderGetsTheStartValues) {
    EXPECT_FALSE(std::filesystem::exists(drives.path() + "/c/autosave"));
    EXPECT_EQ(load(), 0);
    const std::string f = file();
    ASSERT_EQ(f.size(), 1424u);
    EXPECT_EQ(u16_at(f, 0), 0);         // auto_save_num
    EXPECT_EQ(f[4], 'n');               // fast_par
    EXPECT_EQ(u16_at(f, 7), 8);         // star_mask
    EXPECT_EQ(u16_at(f, 11), 1);        // slewcom "1"
    EXPECT_EQ(f.substr(15, 2), "l1");   // default_back, focus_delay
    EXPECT_EQ(f.substr(25, 3), "0n1");  // ignore_small, telescope, disable_interrupts
    EXPECT_EQ(f.substr(32, 4), "nsew");
    EXPECT_EQ(f.substr(196, 80), "INSTRUME= 'Korvalen Imaging CCD'" + std::string(48, ' '));
    EXPECT_EQ(f.substr(436, 80), "HISTORY = '" + std::string(68, ' ') + "'");
    EXPECT_EQ(f.substr(1076, 17), "FILTER  = 'None' ");
    EXPECT_EQ(f.substr(1172, 6), "nnynnn");
    EXPECT_EQ(u16_at(f, 1178), 10);  // pause_secs
    EXPECT_EQ(f.substr(1180, 100), std::string(1, '\0') + std::string(99, ' '));
    EXPECT_EQ(u16_at(f, 1280), 6);  // guider_slewx
    EXPECT_EQ(f.substr(1292, 2), "yn");
    EXPECT_EQ(f.substr(1299, 6), std::string("Blank\0", 6));
    EXPECT_EQ(f.substr(1309, 9), std::string("Filter 2\0", 9));
    EXPECT_EQ(f.substr(1379, 1), "n");
    EXPECT_EQ(f.substr(1384, 10), "snnnnnynnn");
    EXPECT_EQ(f.substr(1406, 5), "Tnsew");
    EXPECT_EQ(f.substr(1411, 2), "ny");
    EXPECT_EQ(f.substr(1415, 6), "NSTWnn");
    EXPECT_EQ(u16_at(f, 1421), 1000);
    EXPECT_EQ(f[1423], 'n');
    EXPECT_STREQ(p.settings.time_zone, "GMT0");
}

TEST_F(SettingsFileTest, EveryRecordRoundTrips) {
    SettingsState& s = p.settings;
    s.auto_save_num = 65000;
    s.FITS_Diff = -5;
    s.star_mask = 13;
    s.slewcom = '2';
    s.default_back = 'g';
    s.backlashx = 20;
    s.hysty = -3;
    s.n = 's';
    s.s = 'n';
    copy_text(s.FITS_Obj, "Barnard's Loop");
    copy_text(s.FITS_His, std::string(250, 'h'));
    s.FITS_Aperture = 12.25;
    s.Debug_Mode = 1;
    copy_text(s.auto_save_subdir, "d:\\Bob's images");
    s.guider_backlashx = 30;
    s.Max_Filters = 5;
    copy_text(s.Filterbox_Filter_Name[7], "Ha");
    s.AOUnit_xrate = 49;
    p.scope.telescope = 'b';
    s.PC_port = 3;
    s.ignore_amount = 200;
    s.tifswitch = 1;
    ASSERT_EQ(save(), 0);
    const std::string saved = file();
    auto fresh = make_program(clock, host, drives.path());
    ASSERT_EQ(load_ini_file(*fresh, p.settings.ini_file), 0);
    uint8_t again[kSettingsFileBytes];
    encode_settings(*fresh, again);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(again), sizeof again), saved);
    EXPECT_EQ(fresh->display.back_r, 90);
    EXPECT_STREQ(fresh->settings.FITS_Obj, "Barnard's Loop");
    EXPECT_STREQ(fresh->settings.auto_save_dir, "d:\\Bob's images");
    EXPECT_STREQ(fresh->settings.time_zone, "GMT-5");
}

TEST_F(SettingsFileTest, LargeRatesAreStoredAsTenAndThetaTruncated) {
    p.settings.guider_slewx = 60;
    p.settings.guider_backlashy = 55;
    p.settings.AOUnit_slewy = 50;
    p.settings.guider_theta = -3.7f;
    ASSERT_EQ(save(), 0);
    const std::string f = file();
    EXPECT_EQ(u16_at(f, 1280), 10);
    EXPECT_EQ(u16_at(f, 1286), 0);
    EXPECT_EQ(u16_at(f, 1397), 10);
    EXPECT_EQ(static_cast<int16_t>(u16_at(f, 1294)), -3);
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(p.settings.guider_slewx, 10);
    EXPECT_EQ(p.settings.guider_theta, -3.0f);
}

TEST_F(SettingsFileTest, SavedExposureValuesApplyOnlyWhenAskedFor) {
    p.readout.binned = 0;
    p.run.exp_value = 30;
    ASSERT_EQ(save(), 0);
    p.readout.binned = 1;
    p.run.exp_value = 1;
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(p.readout.binned, 1);
    EXPECT_EQ(p.run.exp_value, 1);
    std::string f = file();
    f[1379] = 'y';
    write_bytes(ini(), f);
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(p.readout.binned, 0);
    EXPECT_EQ(p.run.exp_value, 30);
}

TEST_F(SettingsFileTest, ShortFileKeepsWhatWasReadAndFailsWithTwo) {
    p.settings.star_mask = 15;
    p.settings.pause_secs = 20;
    ASSERT_EQ(save(), 0);
    write_bytes(ini(), file().substr(0, 1000));
    p.settings.star_mask = 8;
    p.settings.pause_secs = 10;
    copy_text(p.settings.time_zone, "");
    EXPECT_EQ(load(), 2);
    EXPECT_EQ(p.settings.star_mask, 15);
    EXPECT_EQ(p.settings.pause_secs, 10);
    EXPECT_STREQ(p.settings.time_zone, "");
    std::filesystem::remove(ini());
    EXPECT_EQ(load(), 2);
}

TEST_F(SettingsFileTest, ImplausibleRecordStopsTheLoadAndRewritesFromMemory) {
    struct Case {
        size_t at;
        std::string bytes;
    };
    const Case cases[] = {
        {21, std::string("\x15\x00", 2)},  {25, "2"}, {26, "x"}, {27, "y"}, {32, "nsnn"},
        {1284, std::string("\x1f\x00", 2)}};
    for (const Case& c : cases) {
        auto fresh = make_program(clock, host, drives.path());
        Program& q = *fresh;
        q.settings.star_mask = 13;  // a record before every stop
        ASSERT_EQ(save_ini_file(q, q.settings.ini_file), 0);
        std::string f = file();
        f.replace(c.at, c.bytes.size(), c.bytes);
        write_bytes(ini(), f);
        auto other = make_program(clock, host, drives.path());
        other->settings.Max_Filters = 3;  // a record after every stop
        other->scope.telescope = 'l';
        EXPECT_EQ(load_ini_file(*other, q.settings.ini_file), 0) << c.at;
        const std::string rewritten = file();
        EXPECT_EQ(u16_at(rewritten, 7), 13) << c.at;
        EXPECT_EQ(u16_at(rewritten, 1297), 3) << c.at;
        if (c.at == 26) {
            EXPECT_EQ(rewritten[26], 'l');
        }
        EXPECT_EQ(rewritten.substr(c.at, c.bytes.size()) == c.bytes, false) << c.at;
    }
    EXPECT_EQ(take_output(), "");
}

TEST_F(SettingsFileTest, BadFastParByteIsReported) {
    ASSERT_EQ(save(), 0);
    std::string f = file();
    f[4] = 'q';
    write_bytes(ini(), f);
    EXPECT_EQ(load(), 2);
    EXPECT_EQ(take_output(), "box KVR_Q4: Failed to read fast_par value\n");
    EXPECT_EQ(file(), f);  // not rewritten
}

TEST_F(SettingsFileTest, LoaderRulesForLettersAndTexts) {
    ASSERT_EQ(save(), 0);
    std::string f = file();
    f.replace(11, 2, std::string("\x09\x00", 2));               // slewcom 9 → '5'
    f[15] = 'z';                                                // background red
    f[16] = 'x';                                                // focus_delay 0
    f.replace(1180, 100, "c:\\no'nul" + std::string(91, ' '));  // an older text without NUL
    f.replace(1297, 2, std::string("\x09\x00", 2));             // Max_Filters 9 → 7
    f.replace(1299, 10, "ABCDEFGHIJ");                          // a name without its NUL
    write_bytes(ini(), f);
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(p.settings.slewcom, '5');
    EXPECT_EQ(p.display.back_r, 120);
    EXPECT_EQ(p.display.back_g, 40);
    EXPECT_EQ(p.settings.focus_delay, 0);
    EXPECT_STREQ(p.settings.auto_save_subdir, "c:\\no");
    EXPECT_EQ(p.settings.Max_Filters, 7);
    EXPECT_STREQ(p.settings.Filterbox_Filter_Name[0], "ABCDEFGHI");
}

TEST_F(SettingsFileTest, RandomContentNeverBreaksTheProgram) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::string f(1424, '\0');
        for (char& c : f) c = static_cast<char>(rng());
        if (round % 3 == 0) f[4] = 'y';
        if (round % 5 == 0) f.replace(21, 2, std::string(2, '\0'));
        load_settings_bytes(p, reinterpret_cast<const uint8_t*>(f.data()), f.size(),
                            p.settings.ini_file);
        EXPECT_LT(strnlen(p.settings.auto_save_subdir, 80), 80u);
        EXPECT_LT(strnlen(p.settings.FITS_His, 257), 256u);
        EXPECT_GE(p.settings.Max_Filters, 1);
        EXPECT_LE(p.settings.Max_Filters, 8);
    }
}

TEST_F(SettingsFileTest, TimeZoneRuleGivesLocalTimeBehindUt) {
    p.settings.FITS_Diff = 5;
    ASSERT_EQ(save(), 0);
    EXPECT_STREQ(p.settings.time_zone, "GMT5");
    const std::tm t = program_local_time(p, 1798761600);  // 2027-01-01 00:00 UT
    EXPECT_EQ(t.tm_mday, 31);
    EXPECT_EQ(t.tm_hour, 19);
}

TEST_F(SettingsFileTest, UnwritableFileGivesThree) {
    copy_text(p.settings.ini_file, "c:\\no\\such\\folder\\KVR_Q4.INI");
    EXPECT_EQ(save(), 3);
}

}  // namespace
}  // namespace kvr::test
