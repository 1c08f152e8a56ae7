// The FITS, settings and delete dialogs and the "&File" commands, driven as a script would.
#include "files/file_dialogs.h"

#include <filesystem>

#include "core/program.h"
#include "files/autosave_dir.h"
#include "files/file_io.h"
#include "files/file_test_support.h"
#include "files/fits_dialog.h"
#include "files/image_files.h"
#include "files/ini_dialog.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

using FileDialogsTest = ProgramTest;

ControlEvent clicked(int id) {
    ControlEvent e;
    e.id = id;
    return e;
}

TEST_F(FileDialogsTest, FitsDialogStoresFieldsWithinTheirLimits) {
    p.settings.FITS_Diff = 15;
    p.settings.FITS_Focallen = 4.5;
    FitsDialog d(p);
    d.init();
    EXPECT_EQ(d.time_value, 0);  // out of range opens at 0
    EXPECT_EQ(d.view()[113].text, "4.500000");
    ControlEvent e;
    e.kind = ControlEvent::Kind::Scroll;
    e.id = 111;
    e.scroll = ScrollCode::LineUp;
    for (int i = 0; i < 14; ++i) d.handle(e);
    EXPECT_EQ(d.view()[112].text, "-11");
    EXPECT_EQ(d.view()[111].pos, -11);
    d.handle({.kind = ControlEvent::Kind::TextEdited, .id = 101, .text = std::string(80, 'o')});
    d.handle({.kind = ControlEvent::Kind::TextEdited, .id = 103, .text = "2027-01-01T22"});
    d.handle({.kind = ControlEvent::Kind::TextEdited, .id = 113, .text = "abc"});
    d.handle({.kind = ControlEvent::Kind::TextEdited, .id = 114, .text = " 7.25"});
    d.handle(clicked(108));
    d.handle(clicked(1));
    EXPECT_TRUE(d.ended());
    EXPECT_EQ(d.result(), kIdOk);
    EXPECT_EQ(std::string(p.settings.FITS_Obj), std::string(67, 'o'));
    EXPECT_STREQ(p.settings.FITS_Date, "2027-01-01T");
    EXPECT_EQ(p.settings.FITS_Focallen, 4.5);
    EXPECT_EQ(p.settings.FITS_Aperture, 7.25);
    EXPECT_EQ(p.settings.FITS_Diff, -11);
    EXPECT_EQ(p.readout.eightbit, 1);
}

TEST_F(FileDialogsTest, FitsDialogAbortStoresNothingButKeepsSwitches) {
    const std::string out = run_script(
        "dialog 14 edit 101 M1 click 117 click 2\ncommand 20\nget FITS_Obj\nget FITS_SBIG\n");
    EXPECT_EQ(out,
              "dialog 14 opened: FITS DETAILS\ndialog 14 closed: 2\nFITS_Obj = \nFITS_SBIG = 1\n");
}

TEST_F(FileDialogsTest, SettingsDialogTakesNumbersOnlyWhereItShould) {
    IniDialog d(p);
    d.init();
    auto edit = [&](int id, std::string t) {
        d.handle({.kind = ControlEvent::Kind::TextEdited, .id = id, .text = std::move(t)});
    };
    auto click = [&](int id) { d.handle(clicked(id)); };
    edit(17116, "9");
    click(17153);  // pause radio: does not take the numbers, the refresh replaces them
    EXPECT_EQ(p.settings.slewx, 2);
    EXPECT_EQ(p.settings.pause_secs, 10);
    edit(17116, "9x");
    edit(17114, "99");
    edit(17182, "-4");
    edit(17136, "25");
    edit(17180, "junk");
    click(17133);  // star mask 11: takes them first
    EXPECT_EQ(p.settings.star_mask, 11);
    EXPECT_EQ(p.settings.slewx, 9);
    EXPECT_EQ(p.settings.backlashx, 20);
    EXPECT_EQ(p.settings.guider_backlashx, 0);
    EXPECT_EQ(p.settings.hystx, 20);
    EXPECT_EQ(p.settings.guider_slewx, 0);
    EXPECT_EQ(d.view()[17114].text, "20");
    click(17122);
    EXPECT_EQ(p.settings.default_back, 'g');
    EXPECT_EQ(p.display.back_r, 90);
    EXPECT_EQ(p.display.back_changed, 1);
    click(17102);
    EXPECT_EQ(p.settings.n, 's');
    EXPECT_TRUE(d.view()[17102].checked);
    click(17105);
    EXPECT_EQ(p.settings.Show_Interface_Details, 1);
    click(17268);
    EXPECT_EQ(p.settings.GuiderMode, 'A');
    click(17106);
    EXPECT_EQ(p.settings.display_exposure, 0);
    EXPECT_TRUE(d.view()[17106].checked);
    click(17162);
    click(17151);
    EXPECT_EQ(p.settings.Port, 1);
    EXPECT_EQ(p.settings.filter_wheel_comport, 0);
    EXPECT_EQ(d.view()[17152].text, "on Com1");
    edit(17269, "4");
    click(17290);
    EXPECT_EQ(p.settings.PC_port, 3);
    EXPECT_EQ(d.view()[17269].text, "4");
    edit(17168, "12");
    edit(17171, "Luminance1");
    click(17170);
    EXPECT_EQ(p.settings.Max_Filters, 7);
    EXPECT_STREQ(p.settings.Filterbox_Filter_Name[0], "Luminance");
}

TEST_F(FileDialogsTest, AutoSaveFolderRulesOnDrivePaths) {
    EXPECT_FALSE(accept_auto_save_dir(p, "d:\\images"));  // no drive d
    std::filesystem::create_directories(drives.path() + "/d");
    EXPECT_TRUE(accept_auto_save_dir(p, "d:\\images"));
    EXPECT_TRUE(std::filesystem::is_directory(drives.path() + "/d/images"));
    EXPECT_STREQ(p.settings.auto_save_dir, "d:\\images");
    EXPECT_TRUE(accept_auto_save_dir(p, "images"));
    EXPECT_STREQ(p.settings.auto_save_subdir, "c:\\images");
    EXPECT_TRUE(accept_auto_save_dir(p, "\\img2"));
    EXPECT_STREQ(p.settings.auto_save_subdir, "c:\\img2");
    EXPECT_FALSE(accept_auto_save_dir(p, "c:\\missing\\deeper"));
    EXPECT_FALSE(accept_auto_save_dir(p, "1:\\x"));
    EXPECT_FALSE(accept_auto_save_dir(p, std::string(78, 'x')));  // does not fit with "c:\"
    const std::string linux_dir = drives.path() + "/plain";
    EXPECT_TRUE(accept_auto_save_dir(p, linux_dir));
    EXPECT_STREQ(p.settings.auto_save_dir, linux_dir.c_str());
    EXPECT_TRUE(accept_auto_save_dir(p, ""));
    EXPECT_STREQ(p.settings.auto_save_subdir, "");
    EXPECT_STREQ(p.settings.auto_save_dir, "c:\\AUTOSAVE");
}

TEST_F(FileDialogsTest, ProgramDefaultsCommandWritesTheFileOnSave) {
    const std::string out = run_script(
        "dialog 17 edit 17147 d:\\nowhere click 1 click 17128 edit 17147 pics click 1\n"
        "command 121\nget auto_save_dir\nget telescope\n");
    EXPECT_EQ(out,
              "dialog 17 opened: Set Program Defaults\n"
              "message 52: Sorry! AutoSave Directory is invalid\n"
              "dialog 17 closed: 1\nauto_save_dir = c:\\pics\ntelescope = b\n");
    const std::string f = read_bytes(drives.path() + "/c/autosave/KVR_Q4.INI");
    ASSERT_EQ(f.size(), 1424u);
    EXPECT_EQ(f[26], 'b');
    EXPECT_EQ(f.substr(1180, 8), std::string("c:\\pics\0", 8));
}

TEST_F(FileDialogsTest, EditAutoSaveTextCreatesMissingSettingsAndSavesTheTexts) {
    std::filesystem::create_directories(drives.path() + "/c/autosave");
    const std::string out = run_script("dialog 14 edit 102 Observer1 click 1\ncommand 19\n");
    EXPECT_EQ(out,
              "message 42: Unable to load INI file, defaults set\n"
              "dialog 14 opened: FITS DETAILS\ndialog 14 closed: 1\n");
    const std::string f = read_bytes(drives.path() + "/c/autosave/KVR_Q4.INI");
    EXPECT_EQ(f.substr(276, 22), "OBSERVER= 'Observer1' ");
}

TEST_F(FileDialogsTest, SelectFileCommandsRecordDeleteAndRefuse) {
    const std::string victim = drives.path() + "/victim";
    write_bytes(victim, "x");
    const std::string out = run_script(
        "file c:\\dark.def\ncommand 104\nget DarkFileName\nget load_darkframe\n"
        "file c:\\~flat\ncommand 122\nget FlatFileName\nget Filter_Index\n"
        "file " +
        victim +
        "\ndialog 9 click 2\ncommand 13\n"
        "file " +
        victim +
        "\ndialog 9 click 1\ncommand 13\nget file_name\n"
        "file /" +
        std::string(300, 'p') + "\ncommand 104\n");
    EXPECT_EQ(out,
              "file dialog open: c:\\dark.def\nDarkFileName = c:\\dark.def\nload_darkframe = 0\n"
              "file dialog open: c:\\~flat\nFlatFileName = c:\\~flat\nFilter_Index = 1\n"
              "file dialog open: " +
                  victim +
                  "\ndialog 9 opened: DELETE FILE DIALOG\n"
                  "dialog 9 closed: 2\n"
                  "file dialog open: " +
                  victim +
                  "\ndialog 9 opened: DELETE FILE DIALOG\n"
                  "dialog 9 closed: 1\nfile_name = " +
                  victim +
                  "\n"
                  "file dialog open: /" +
                  std::string(300, 'p') +
                  "\n"
                  "message 50: Sorry, that file name is too long (at most 259 characters)\n");
    EXPECT_FALSE(std::filesystem::exists(victim));
    EXPECT_STREQ(p.settings.DarkFileName, "c:\\dark.def");
}

TEST_F(FileDialogsTest, SaveAndOpenThroughTheFileMenu) {
    std::filesystem::create_directories(drives.path() + "/c/img");
    const std::string out = run_script(
        "file c:\\img\\~raw\ncommand 24333\nget Filter_Index\nget lastdir\n"
        "file c:\\img\\~RAW\ncommand 24332\nget lastfile\nget image_name\n"
        "file cancel\ncommand 24332\n");
    EXPECT_EQ(out,
              "file dialog save: c:\\img\\~raw\ncaption: KVR_Q4_USB - ~RAW\nFilter_Index = 1\n"
              "lastdir = c:\\img\n"
              "file dialog open: c:\\img\\~RAW\ncaption: KVR_Q4_USB - ~RAW\n"
              "caption: KVR_Q4_USB - ~RAW\nlastfile = ~RAW\n"
              "image_name = ~RAW\nfile dialog open cancelled: Open\n");
    EXPECT_EQ(read_bytes(drives.path() + "/c/img/~RAW").size(), 218080u);
}

TEST_F(FileDialogsTest, FitsSaveCommandDatesTheHeaderAndReportsFailure) {
    const std::string out = run_script(
        "dialog 14 click 1\nfile c:\\nofolder\\x\ncommand 24335\nget FITS_Date\nget eightbit\n");
    EXPECT_EQ(out,
              "dialog 14 opened: FITS DETAILS\ndialog 14 closed: 1\n"
              "file dialog save: c:\\nofolder\\x\ncaption: KVR_Q4_USB - X.FIT\n"
              "message 22: Unable to create file, check disk space\n"
              "FITS_Date = 2027-01-01\neightbit = 0\n");
}

TEST_F(FileDialogsTest, ComparisonImageCommand) {
    p.readout.binned = 1;
    set_readout_geometry(p);
    fill_pattern(p.ptr.image, 376 * 290);
    ASSERT_TRUE(save_kv_file(p, drives.path() + "/~cmp"));
    write_bytes(drives.path() + "/bad", "short");
    const std::string out =
        run_script("file " + drives.path() + "/bad\ncommand 124\n" + "file " + drives.path() +
                   "/~cmp\ncommand 124\n" + "get comparison_loaded\n");
    EXPECT_EQ(out, "file dialog open: " + drives.path() +
                       "/bad\nmessage 46: Sorry, chosen Comparison file is not an QX or FITs "
                       "File\nfile dialog open: " +
                       drives.path() + "/~cmp\ncomparison_loaded = 1\n");
    EXPECT_EQ(p.ptr.comparison[1], 65535);
}

}  // namespace
}  // namespace kvr::test
