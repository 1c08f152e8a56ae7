// The main window's command ids, their handler names, the "&File" menu and the accelerators.
#include "core/commands.h"

namespace kvr {

namespace {

struct CommandName {
    int id;
    const char* name;
};

constexpr CommandName kWindowCommands[] = {
    {12, "KV_Control"},
    {27, "KV_Guider_Control"},
    {890, "Guider_Start_Standalone"},
    {21, "CmPickStar"},
    {25, "CmFocusFrame"},
    {26, "CmFocusFrameReset"},
    {22, "CmTrainGuide"},
    {23, "CmStartGuide"},
    {889, "GuideTelescope"},
    {24, "CmControl"},
    {24332, "CmFileOpen"},
    {24333, "CmFileSave"},
    {24334, "CmTifSave"},
    {24335, "CmFITSSave"},
    {24336, "CmSaveAsFits"},
    {13, "CmFileDelete"},
    {124, "CmFileComparison"},
    {104, "CmDarkFile"},
    {122, "CmFlatField"},
    {19, "CmEditFITSText"},
    {20, "CmViewFITSText"},
    {121, "CmINI"},
    {114, "CmPrintSetup"},
    {116, "CmPrint"},
    {24359, "CmCopy"},
    {8, "label_image"},
    {1, "CmContrastNormal"},
    {2, "CmContrastPower"},
    {101, "CmContrastSine"},
    {117, "CmContrastVeltran"},
    {120, "CmContrastBackGround"},
    {102, "CmContrastLog"},
    {103, "CmContrastAntiLog"},
    {105, "CmContrastInvert"},
    {888, "contrast_stretch"},
    {106, "unsharp_enhance"},
    {3, "median_enhance"},
    {4, "gaussian_enhance"},
    {5, "lowpass_enhance"},
    {7, "basrelief_enhance"},
    {18, "gradient_enhance"},
    {29, "venetian_enhance"},
    {107, "highlow_enhance"},
    {108, "highhigh_enhance"},
    {109, "smoothsharp_enhance"},
    {110, "Subtract_Image"},
    {111, "Add_Image"},
    {115, "Flat_Image"},
    {126, "Average_Image"},
    {9, "undo_restore_option"},
    {302, "CmMirror"},
    {6, "CmHistogram"},
    {15, "Cm3D"},
    {16, "CmRowInt"},
    {14, "CmPhotometry"},
    {125, "blink_comparison"},
    {925, "BlinkOriginal"},
    {926, "BlinkComparison"},
    {301, "CmFit"},
    {303, "CmGeo"},
    {123, "CmBig"},
    {118, "CmColPal"},
    {119, "CmStretchPal"},
    {726, "CmStretchMax"},
    {1901, "CmMaxStretchToggle"},
    {1902, "CmMaxStretchToggle"},
    {1906, "CmMaxStretchToggle"},
    {1907, "CmStretchPaint"},
    {891, "PaintIt"},
    {17, "Info"},
    {112, "Help_Using"},
    {113, "Help_About"},
    {24310, "cmExit"},
};

struct Hint {
    int id;
    const char* text;
};

// Status-bar hints of the tool-bar buttons (string-table entries by command id).
constexpr Hint kHints[] = {
    {12, "Main Camera Control"},
    {27, "Load the AutoGuider Camera Control Dialog"},
    {24, "Control a LX200 telescope or Autoguider port"},
    {1901, "Use Display Stretch"},
    {1902, "Dont use Display Stretch"},
    {24333, "Save the image as a QX file"},
    {24335, "Save the image as a FITS file"},
    {24332, "Open a QX or FITS image file"},
    {726, "Stretch the display to the image's range"},
    {121, "Set program defaults"},
    {14, "Photometry"},
    {1, "Normal contrast"},
    {117, "Veltran contrast stretch"},
    {2, "Power contrast stretch"},
    {120, "Background contrast stretch"},
    {106, "Unsharp mask"},
    {3, "Median filter"},
    {110, "Subtract an image"},
    {115, "Flat field the image"},
    {111, "Add an image"},
};

}  // namespace

void declare_window_commands(CommandTable& t) {
    for (const auto& c : kWindowCommands) t.declare(c.id, c.name);
    for (const auto& h : kHints) t.find(h.id)->hint = h.text;

    Menu file{"&File",
              {{24332, "&Open...\tCTL+O"},
               {24333, "&Save...\tCTL+S"},
               {24334, "Save as &Tiff file..."},
               {24335, "S&ave as FITS file..."},
               {24336, "&Quick Save as FITS...\tCtl+Q "},
               {0, ""},
               {13, "&Delete File..."},
               {19, "&Load/Edit AutoSave FITS text"},
               {104, "Select Dark &Frame..."},
               {122, "Select Auto-Flat File..."},
               {124, "Load Comparison Image"},
               {0, ""},
               {121, "Set Program Defa&ults"},
               {12, "KVR Q4 Camera &Interface\tCTL+Z"},
               {27, "AutoGuider Camera \tCTL+G"},
               {21, "Pic&k Guide Star\tCTL+P"},
               {25, "Focus Frame Centre\tCTL+W"},
               {26, "Default Focus Frame Centre"},
               {0, ""},
               {22, "Train Auto-Guiding"},
               {23, "Start Auto-Guiding"},
               {24, "Telescope &Control"},
               {0, ""},
               {114, "P&rint setup..."},
               {116, "&Print..."},
               {0, ""},
               {24310, "E&xit"}}};
    for (const auto& item : file.items)
        if (item.id != 0) t.find(item.id)->menu_text = item.text;
    t.menus = {file};

    t.accelerators = {
        {"Ctrl+Z", 12},    {"Ctrl+G", 27},  {"Alt+X", 24310},  {"Ctrl+H", 6},     {"Ctrl+L", 8},
        {"Ctrl+Q", 24336}, {"Ctrl+P", 21},  {"Ctrl+W", 25},    {"Ctrl+S", 24333}, {"Ctrl+U", 9},
        {"Ctrl+N", 1},     {"Ctrl+B", 120}, {"Ctrl+O", 24332}, {"Ctrl+M", 726},
    };
}

}  // namespace kvr
