#include "core/command_layout.h"

namespace kvr {

namespace {

constexpr std::optional<Cmd> kSeparator;

constexpr std::optional<Cmd> kFile[] = {
    Cmd::FileOpen,
    Cmd::FileSave,
    Cmd::TifSave,
    Cmd::FitsSave,
    Cmd::QuickFitsSave,
    kSeparator,
    Cmd::FileDelete,
    Cmd::EditFitsText,
    Cmd::DarkFile,
    Cmd::FlatFieldFile,
    Cmd::LoadComparison,
    kSeparator,
    Cmd::ProgramDefaults,
    Cmd::CameraControl,
    Cmd::GuiderControl,
    Cmd::PickStar,
    Cmd::FocusFrame,
    Cmd::FocusFrameReset,
    kSeparator,
    Cmd::TrainGuide,
    Cmd::StartGuide,
    Cmd::TelescopeControl,
    kSeparator,
    Cmd::PrintSetup,
    Cmd::Print,
    kSeparator,
    Cmd::Exit,
};
constexpr std::optional<Cmd> kEdit[] = {
    Cmd::Copy, Cmd::Undo, kSeparator, Cmd::Label, Cmd::ViewFitsText, Cmd::ProcessingHistory,
};
constexpr std::optional<Cmd> kDisplay[] = {
    Cmd::FitToWindow,        Cmd::CameraGeometry,       Cmd::Enlarge, kSeparator, Cmd::FalseColour,
    Cmd::AutoPaletteStretch, Cmd::StretchDisplayDialog,
};
constexpr std::optional<Cmd> kContrast[] = {
    Cmd::ContrastNormal,    Cmd::ContrastPower, Cmd::ContrastSine,    Cmd::ContrastBackground,
    Cmd::ContrastNonLinear, Cmd::ContrastLog,   Cmd::ContrastAntilog, Cmd::ContrastInvert,
};
constexpr std::optional<Cmd> kFilters[] = {
    Cmd::UnsharpMask,       Cmd::Median,      Cmd::Gaussian,  Cmd::LowPass,  Cmd::HighPassLowPower,
    Cmd::HighPassHighPower, Cmd::SmoothSharp, Cmd::BasRelief, Cmd::Gradient, Cmd::VerticalSmoothing,
};
constexpr std::optional<Cmd> kMerging[] = {
    Cmd::SubtractImage,  Cmd::AddImage, Cmd::AverageImage,
    Cmd::ApplyFlatField, kSeparator,    Cmd::Mirror,
};
constexpr std::optional<Cmd> kAnalysis[] = {
    Cmd::Histogram, Cmd::RowProfile, Cmd::Plot3D, kSeparator, Cmd::Photometry, Cmd::BlinkComparison,
};
constexpr std::optional<Cmd> kGuide[] = {Cmd::GuiderStartStandalone, Cmd::GuideTelescope,
                                         kSeparator, Cmd::GuideGraph};
constexpr std::optional<Cmd> kHelp[] = {Cmd::Help, Cmd::About};

constexpr MenuLayout kMenus[] = {
    {"&File", kFile},         {"&Edit", kEdit},       {"&Display", kDisplay},
    {"&Contrast", kContrast}, {"F&ilters", kFilters}, {"&Merging", kMerging},
    {"&Analysis", kAnalysis}, {"&Guide", kGuide},     {"&Help", kHelp},
};

constexpr ToolItem kToolBar[] = {
    {Cmd::FileSave},
    {Cmd::FitsSave},
    {Cmd::FileOpen},
    {.gap = 8},
    {Cmd::CameraControl},
    {Cmd::GuiderControl},
    {.gap = 6},
    {Cmd::MaxStretchOn},
    {Cmd::MaxStretchOff},
    {Cmd::StretchDisplayDialog},
    {.gap = 8},
    {Cmd::ProgramDefaults},
    {.gap = 6},
    {Cmd::Photometry},
    {.gap = 6},
    {Cmd::ContrastNormal},
    {Cmd::ContrastNonLinear},
    {Cmd::ContrastPower},
    {Cmd::ContrastBackground},
    {Cmd::UnsharpMask},
    {Cmd::Median},
    {.gap = 6},
    {Cmd::SubtractImage},
    {Cmd::ApplyFlatField},
    {Cmd::AddImage},
    {Cmd::TelescopeControl},
};

}  // namespace

std::span<const MenuLayout> menu_layout() {
    return kMenus;
}

std::span<const ToolItem> tool_bar_layout() {
    return kToolBar;
}

}  // namespace kvr
