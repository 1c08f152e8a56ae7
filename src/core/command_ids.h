#pragma once
// The window commands by name. The numbers are what menus, accelerators and tool-bar buttons
// send (and a script's `command ID`); each subsystem gives its commands' rows in its own file.
namespace kvr {

enum class Cmd : int {
    // Camera runs, guiding and the telescope
    CameraControl = 12,
    GuiderControl = 27,
    GuiderStartStandalone = 890,
    PickStar = 21,
    FocusFrame = 25,
    FocusFrameReset = 26,
    TrainGuide = 22,
    StartGuide = 23,
    GuideTelescope = 889,
    GuideGraph = 892,
    TelescopeControl = 24,
    // Files
    FileOpen = 24332,
    FileSave = 24333,
    TifSave = 24334,
    FitsSave = 24335,
    QuickFitsSave = 24336,
    FileDelete = 13,
    LoadComparison = 124,
    DarkFile = 104,
    FlatFieldFile = 122,
    EditFitsText = 19,
    ViewFitsText = 20,
    ProgramDefaults = 121,
    Label = 8,
    // Picture export
    PrintSetup = 114,
    Print = 116,
    Copy = 24359,
    // Contrast
    ContrastNormal = 1,
    ContrastPower = 2,
    ContrastSine = 101,
    ContrastNonLinear = 117,
    ContrastBackground = 120,
    ContrastLog = 102,
    ContrastAntilog = 103,
    ContrastInvert = 105,
    ContrastStretch = 888,
    // Filters
    UnsharpMask = 106,
    Median = 3,
    Gaussian = 4,
    LowPass = 5,
    BasRelief = 7,
    Gradient = 18,
    VerticalSmoothing = 29,
    HighPassLowPower = 107,
    HighPassHighPower = 108,
    SmoothSharp = 109,
    // Image arithmetic
    SubtractImage = 110,
    AddImage = 111,
    ApplyFlatField = 115,
    AverageImage = 126,
    Undo = 9,
    Mirror = 302,
    // Analysis
    Histogram = 6,
    Plot3D = 15,
    RowProfile = 16,
    Photometry = 14,
    BlinkComparison = 125,
    BlinkShowOriginal = 925,
    BlinkShowComparison = 926,
    // Display
    FitToWindow = 301,
    CameraGeometry = 303,
    Enlarge = 123,
    FalseColour = 118,
    AutoPaletteStretch = 119,
    StretchDisplayDialog = 726,
    MaxStretchOn = 1901,
    MaxStretchOff = 1902,
    MaxStretchCheck = 1906,
    StretchRepaint = 1907,
    Repaint = 891,
    // The shell
    ProcessingHistory = 17,
    Help = 112,
    About = 113,
    Exit = 24310,
};

constexpr int id_of(Cmd c) {
    return static_cast<int>(c);
}

}  // namespace kvr
