// Window commands of the files subsystem.
#include "files/files_commands.h"

#include <cstdio>

#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/file_dialogs.h"
#include "files/file_io.h"
#include "files/fits_dialog.h"
#include "files/ini_dialog.h"
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
    if (SaveINIFile(p, p.settings.ini_file) != 0) messages(p, Msg::IniSaveFailedForDefaults);
}

}  // namespace

void CmFITSSave(Program& p) {
    p.readout.eightbit = 0;
    default_fits_date(p);
    TFITSDialog details(p);
    if (p.host.run_modal(details) != kIdOk) return;
    p.settings.save_FITS = 1;
    run_save_dialog(p, fits_save_mode());
    p.settings.save_FITS = 0;
}

void CmEditFITSText(Program& p) {
    if (LoadINIFile(p, p.settings.ini_file) != 0) {
        messages(p, Msg::IniDefaultsSet);
        SaveINIFile(p, p.settings.ini_file);
    }
    p.readout.eightbit = 0;
    TFITSDialog details(p);
    if (p.host.run_modal(details) == kIdOk) save_settings_or_report(p);
}

void CmViewFITSText(Program& p) {
    TFITSDialog details(p);
    p.host.run_modal(details);
}

void CmINI(Program& p) {
    if (LoadINIFile(p, p.settings.ini_file) != 0) {
        messages(p, Msg::IniLoadFailed);
        SaveINIFile(p, p.settings.ini_file);
    }
    TINIDialog defaults(p);
    if (p.host.run_modal(defaults) == kIdOk) save_settings_or_report(p);
}

void register_files_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        {Cmd::FileOpen, "CmFileOpen", CmFileOpen, "&Open...\tCTL+O", "Ctrl+O", 24332,
         "Open a QX or FITS image file"},
        {Cmd::FileSave, "CmFileSave", CmFileSave, "&Save...\tCTL+S", "Ctrl+S", 24333,
         "Save the image as a QX file"},
        {Cmd::TifSave, "CmTifSave", CmTifSave, "Save as &Tiff file..."},
        {Cmd::FitsSave, "CmFITSSave", CmFITSSave, "S&ave as FITS file...", "", 24336,
         "Save the image as a FITS file"},
        {Cmd::QuickFitsSave, "CmSaveAsFits", nullptr, "&Quick Save as FITS...\tCtl+Q ", "Ctrl+Q"},
        {Cmd::FileDelete, "CmFileDelete", CmFileDelete, "&Delete File..."},
        {Cmd::EditFitsText, "CmEditFITSText", CmEditFITSText, "&Load/Edit AutoSave FITS text"},
        {Cmd::ViewFitsText, "CmViewFITSText", CmViewFITSText,
         "&Show/Edit Current Image FITS details"},
        {Cmd::DarkFile, "CmDarkFile", CmDarkFile, "Select Dark &Frame..."},
        {Cmd::FlatFieldFile, "CmFlatField", CmFlatField, "Select Auto-Flat File..."},
        {Cmd::LoadComparison, "CmFileComparison", CmFileComparison, "Load Comparison Image"},
        {Cmd::ProgramDefaults, "CmINI", CmINI, "Set Program Defa&ults", "", 121,
         "Set program defaults"},
        {Cmd::Label, "label_image", nullptr, "&Label\tCTL+L", "Ctrl+L"},
    };
    p.commands.add(kRows);
}

}  // namespace kvr
