#pragma once
// Stored settings and file-handling state: the FITS header texts, the values kept in the binary
// settings file, the file names chosen through the file dialogs and the dialogs' mode flags.
// Names that other subsystems also read (`exp_value`, `Port`, `merging`...) are declared here
// once; `binned`, `apply_correction`, `continuous`, `exp_value`, `exp_range`, `telescope`,
// `ignore_pid` and the background colour live in their own subsystems.
#include "core/state_macros.h"

namespace kvr {

// Room of the FITS header texts (characters + terminator).
inline constexpr int kFitsTextBytes = 70;       // OBJECT, OBSERVER, ... : up to 69 characters
inline constexpr int kFitsFilterBytes = 72;     // FILTER: up to 71
inline constexpr int kFitsLongTextBytes = 257;  // HISTORY and COMMENT texts: up to 256
inline constexpr int kFitsHistoryLines = 15;    // process_info lines written as HISTORY cards
// Full paths chosen in a file dialog (dark, flat, comparison, delete).
inline constexpr int kPathBytes = 260;
inline constexpr int kAutoSaveSubdirBytes = 80;  // up to 79 characters
inline constexpr int kAutoSaveDirBytes = 100;    // up to 99
inline constexpr int kFilterNames = 8;
inline constexpr int kFilterNameBytes = 10;  // up to 9 characters

#define KVR_SETTINGS_STATE(V, T, A, L)                                             \
    /* FITS header texts and values */                                             \
    T(FITS_Obj, kFitsTextBytes, "")                                                \
    T(FITS_Obs, kFitsTextBytes, "")                                                \
    T(FITS_Date, kFitsTextBytes, "")                                               \
    T(FITS_Time, kFitsTextBytes, "")                                               \
    T(FITS_Src, kFitsTextBytes, "")                                                \
    T(FITS_Tel, kFitsTextBytes, "")                                                \
    T(FITS_Ins, kFitsTextBytes, "Korvalen Imaging CCD")                            \
    T(FITS_Com, kFitsLongTextBytes, "")                                            \
    T(FITS_His, kFitsLongTextBytes, "")                                            \
    T(FITS_Filter, kFitsFilterBytes, "None")                                       \
    V(double, FITS_Exptime, 0.0)                                                   \
    V(double, FITS_Pixwidth, 0.0098)                                               \
    V(double, FITS_Pixheight, 0.0126)                                              \
    V(double, FITS_Focallen, 0.0)                                                  \
    V(double, FITS_Aperture, 0.0)                                                  \
    V(int, FITS_Diff, 0)                                                           \
    V(int, FITS_SBIG, 0)                                                           \
    /* image files and the shared file dialogs */                                  \
    T(DarkFileName, kPathBytes, "")                                                \
    T(FlatFileName, kPathBytes, "")                                                \
    T(ComparisonFileName, kPathBytes, "")                                          \
    T(file_name, kPathBytes, "")                                                   \
    T(lastfile, 100, "")                                                           \
    T(lastdir, 100, "")                                                            \
    V(int, Filter_Index, 3)                                                        \
    V(int, comparison_loaded, 0)                                                   \
    V(int, save_tif, 0)                                                            \
    V(int, save_FITS, 0)                                                           \
    V(int, delete_file, 0)                                                         \
    V(int, load_darkframe, 0)                                                      \
    V(int, load_flatfield, 0)                                                      \
    V(int, load_comparison, 0)                                                     \
    /* the settings file and its records */                                        \
    T(ini_file, 100, "c:\\autosave\\KVR_Q4.INI")                                   \
    T(time_zone, 16, "")                                                           \
    V(unsigned, auto_save_num, 0)                                                  \
    V(int, fast_par, 0)                                                            \
    V(int, default_port, 0)                                                        \
    V(int, star_mask, 8)                                                           \
    V(int, default_speed, 1)                                                       \
    V(char, slewcom, '1')                                                          \
    V(int, slewdefault, 1)                                                         \
    V(char, default_back, 'l')                                                     \
    V(int, focus_delay, 1)                                                         \
    V(int, slewx, 2)                                                               \
    V(int, slewy, 2)                                                               \
    V(int, backlashx, 0)                                                           \
    V(int, backlashy, 0)                                                           \
    V(int, ignore_small, 0)                                                        \
    V(int, disable_interrupts, 1)                                                  \
    V(int, hystx, 0)                                                               \
    V(int, hysty, 0)                                                               \
    V(char, n, 'n')                                                                \
    V(char, s, 's')                                                                \
    V(char, e, 'e')                                                                \
    V(char, w, 'w')                                                                \
    V(int, Mk2_fast_par, 0)                                                        \
    V(int, Losmandy_pause, 0)                                                      \
    V(int, gotcontrolbox, 0)                                                       \
    V(int, Debug_Mode, 0)                                                          \
    V(int, pause_secs, 10)                                                         \
    T(auto_save_subdir, kAutoSaveSubdirBytes, "")                                  \
    V(int, guider_slewx, 6)                                                        \
    V(int, guider_slewy, 6)                                                        \
    V(int, guider_backlashx, 0)                                                    \
    V(int, guider_backlashy, 0)                                                    \
    V(int, guider_hystx, 0)                                                        \
    V(int, guider_hysty, 0)                                                        \
    V(int, ignore_backlash, 1)                                                     \
    V(int, filter_wheel, 0)                                                        \
    V(float, guider_theta, 0.0f)                                                   \
    V(int, ignore_RA_angle, 1)                                                     \
    V(int, Max_Filters, 7)                                                         \
    L(Filterbox_Filter_Name, kFilterNames, kFilterNameBytes)                       \
    V(int, use_saved_values, 0)                                                    \
    V(int, continuous_delay, 0)                                                    \
    V(int, exposure_delay, 0)                                                      \
    V(int, auto_save_fits, 0)                                                      \
    V(int, darkframe_remove, 0)                                                    \
    V(int, flatfield_remove, 0)                                                    \
    V(int, AOUnit_slewx, 6)                                                        \
    V(int, AOUnit_slewy, 6)                                                        \
    V(int, AOUnit_xrate, 6)                                                        \
    V(int, AOUnit_yrate, 6)                                                        \
    V(int, AOUnitModeParallel, 0)                                                  \
    V(int, AOUnit_comport, 0)                                                      \
    V(char, GuiderMode, 'T')                                                       \
    V(char, AOn, 'n')                                                              \
    V(char, AOs, 's')                                                              \
    V(char, AOe, 'e')                                                              \
    V(char, AOw, 'w')                                                              \
    V(int, AOUnit_available, 0)                                                    \
    V(int, AOUnit_halfrate, 1)                                                     \
    V(int, PC_port, 0)                                                             \
    V(char, Mn, 'N')                                                               \
    V(char, Ms, 'S')                                                               \
    V(char, Mt, 'T')                                                               \
    V(char, Mw, 'W')                                                               \
    V(int, ignore_north, 0)                                                        \
    V(int, ignore_south, 0)                                                        \
    V(int, ignore_amount, 1000)                                                    \
    V(int, tifswitch, 0)                                                           \
    /* edited by the settings dialog, derived, or set by a load, but not stored */ \
    T(auto_save_dir, kAutoSaveDirBytes, "c:\\AUTOSAVE")                            \
    V(int, display_exposure, 1)                                                    \
    V(int, guider_slewdefault, 2)                                                  \
    V(int, Port, 1)                                                                \
    V(int, filter_wheel_comport, 2)                                                \
    V(int, Show_Interface_Details, 0)                                              \
    V(int, merging, 0)                                                             \
    V(int, orig, 1)
KVR_STATE_STRUCT(SettingsStateFields, KVR_SETTINGS_STATE)

// Adds the start values that the list cannot express (the filter names).
struct SettingsState : SettingsStateFields {
    SettingsState();
};

}  // namespace kvr
