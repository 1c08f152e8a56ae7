// Window commands of the files subsystem.
#include "files/files_commands.h"

#include <cstdio>

#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/auto_save.h"
#include "files/file_dialogs.h"
#include "files/file_io.h"
#include "files/fits_dialog.h"
#include "files/ini_dialog.h"
#include "files/label_image.h"
#include "files/settings_file.h"
#include "files/tiff_file.h"
#include "files/time_zone.h"

namespace kvr {

namespace {

// "YYYY-MM-DD".
constexpr size_t kFullDateChars = 10;

// Today's local date for a header that has none.
void default_fits_date(Program& p) {
    if (text_of(p.settings.FITS_Date).size() >= kFullDateChars) return;
    const std::tm t = program_local_time(p, p.clock.calendar_time());
    char date[40];
    std::snprintf(date, sizeof date, "20%02d-%02d-%02d", t.tm_year % 100, t.tm_mon + 1, t.tm_mday);
    copy_text(p.settings.FITS_Date, date);
}

void save_settings_or_report(Program& p) {
    if (save_ini_file(p, p.settings.ini_file) != 0) messages(p, Msg::IniSaveFailedForDefaults);
}

}  // namespace

void fits_save(Program& p) {
    p.readout.eightbit = 0;
    default_fits_date(p);
    FitsDialog details(p);
    if (p.host.run_modal(details) != kIdOk) return;
    p.settings.save_FITS = 1;
    run_save_dialog(p, fits_save_mode());
    p.settings.save_FITS = 0;
}

void edit_fits_text(Program& p) {
    if (load_ini_file(p, p.settings.ini_file) != 0) {
        messages(p, Msg::IniDefaultsSet);
        save_ini_file(p, p.settings.ini_file);
    }
    p.readout.eightbit = 0;
    FitsDialog details(p);
    if (p.host.run_modal(details) == kIdOk) save_settings_or_report(p);
}

void view_fits_text(Program& p) {
    FitsDialog details(p);
    p.host.run_modal(details);
}

void program_defaults(Program& p) {
    if (load_ini_file(p, p.settings.ini_file) != 0) {
        messages(p, Msg::IniLoadFailed);
        save_ini_file(p, p.settings.ini_file);
    }
    IniDialog defaults(p);
    if (p.host.run_modal(defaults) == kIdOk) save_settings_or_report(p);
}

void register_files_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        {Cmd::FileOpen, "file_open", file_open, "&Open...\tCTL+O", "Ctrl+O", 24332,
         "Open a QX or FITS image file"},
        {Cmd::FileSave, "file_save", file_save, "&Save...\tCTL+S", "Ctrl+S", 24333,
         "Save the image as a QX file"},
        {Cmd::TifSave, "tif_save", tif_save, "Save as &Tiff file..."},
        {Cmd::FitsSave, "fits_save", fits_save, "S&ave as FITS file...", "", 24336,
         "Save the image as a FITS file"},
        {Cmd::QuickFitsSave, "quick_fits_save", quick_fits_save, "&Quick Save as FITS...\tCtl+Q ",
         "Ctrl+Q"},
        {Cmd::FileDelete, "file_delete", file_delete, "&Delete File..."},
        {Cmd::EditFitsText, "edit_fits_text", edit_fits_text, "&Load/Edit AutoSave FITS text"},
        {Cmd::ViewFitsText, "view_fits_text", view_fits_text,
         "&Show/Edit Current Image FITS details"},
        {Cmd::DarkFile, "select_dark_file", select_dark_file, "Select Dark &Frame..."},
        {Cmd::FlatFieldFile, "select_flat_field", select_flat_field, "Select Auto-Flat File..."},
        {Cmd::LoadComparison, "load_comparison_image", load_comparison_image,
         "Load Comparison Image"},
        {Cmd::ProgramDefaults, "program_defaults", program_defaults, "Set Program Defa&ults", "",
         121, "Set program defaults"},
        {Cmd::Label, "label_image", label_image, "&Label\tCTL+L", "Ctrl+L"},
    };
    p.commands.add(kRows);
}

}  // namespace kvr
