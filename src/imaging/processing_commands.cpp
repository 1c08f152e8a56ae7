#include "imaging/processing_commands.h"

#include "core/program.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/contrast_commands.h"
#include "imaging/enhance_commands.h"
#include "imaging/merge_commands.h"

namespace kvr {

namespace {

constexpr CommandRow kRows[] = {
    // Contrast
    {Cmd::ContrastNormal, "CmContrastNormal", CmContrastNormal, "&Normal Stretch\tCTL+N", "Ctrl+N",
     1, "Normal contrast"},
    {Cmd::ContrastPower, "CmContrastPower", CmContrastPower, "&Power Law Stretch", "", 2,
     "Power contrast stretch"},
    {Cmd::ContrastSine, "CmContrastSine", ContrastSine, "&Sine Law Stretch"},
    {Cmd::ContrastBackground, "CmContrastBackGround", ContrastBackground,
     "&Remove Background\tCTL+B ", "Ctrl+B", 120, "Background contrast stretch"},
    {Cmd::ContrastNonLinear, "CmContrastVeltran", CmContrastVeltran, "N&on-Linear Stretch", "", 117,
     "Veltran contrast stretch"},
    {Cmd::ContrastLog, "CmContrastLog", logstretch, "&Logarithmic Stretch"},
    {Cmd::ContrastAntilog, "CmContrastAntiLog", antilog, "&Antilogarithmic Stretch"},
    {Cmd::ContrastInvert, "CmContrastInvert", ContrastInvert, "&Invert image to Negative"},
    {Cmd::ContrastStretch, "contrast_stretch", contrast_stretch},
    // Filters
    {Cmd::UnsharpMask, "unsharp_enhance", unsharp_enhance, "&Unsharp masking HPF", "", 106,
     "Unsharp mask"},
    {Cmd::Median, "median_enhance", median_enhance, "&Median Filter - Noise Reduction", "", 3,
     "Median filter"},
    {Cmd::Gaussian, "gaussian_enhance", gaussian_enhance, "&Gaussian Smoother Filter"},
    {Cmd::LowPass, "lowpass_enhance", lowpass_enhance, "Low Pass &Weighted Mean &Smoother"},
    {Cmd::HighPassLowPower, "highlow_enhance", highlow_enhance, "&High Pass, Low Power"},
    {Cmd::HighPassHighPower, "highhigh_enhance", highhigh_enhance, "High Pass, High &Power"},
    {Cmd::SmoothSharp, "smoothsharp_enhance", smoothsharp_enhance, "&Smoother/Sharper Filter"},
    {Cmd::BasRelief, "basrelief_enhance", basrelief_enhance, "&Bas Relief Generator"},
    {Cmd::Gradient, "gradient_enhance", gradient_enhance, "Gradient &Filter"},
    {Cmd::VerticalSmoothing, "venetian_enhance", venetian_enhance, "&Vertical Smoothing"},
    // Image arithmetic
    {Cmd::Undo, "undo_restore_option", undo_restore_option, "&Undo Last Filter\tCTL+U", "Ctrl+U"},
    {Cmd::Mirror, "CmMirror", CmMirror, "&Mirror Image"},
    {Cmd::SubtractImage, "Subtract_Image", Subtract_Image, "&Subtract Image (Dark Frame)", "", 110,
     "Subtract an image"},
    {Cmd::AddImage, "Add_Image", nullptr, "Merge two Images &together", "", 111, "Add an image"},
    {Cmd::AverageImage, "Average_Image", Average_Image, "Average &with current Image"},
    {Cmd::ApplyFlatField, "Flat_Image", Flat_Image, "Apply &Flat Field", "", 115,
     "Flat field the image"},
    // Analysis
    {Cmd::Histogram, "CmHistogram", nullptr, "&Histogram\tCTL+H", "Ctrl+H"},
    {Cmd::RowProfile, "CmRowInt", nullptr, "Intensity Plot of Current R&ow"},
    {Cmd::Plot3D, "Cm3D", nullptr, "3-D &Intensity Plot"},
    {Cmd::Photometry, "CmPhotometry", nullptr, "&Photometry of Image", "", 1903, "Photometry"},
    {Cmd::BlinkComparison, "blink_comparison", nullptr, "Blink Comparison"},
    {Cmd::BlinkShowOriginal, "BlinkOriginal"},
    {Cmd::BlinkShowComparison, "BlinkComparison"},
    // The display stretch's dialog
    {Cmd::StretchDisplayDialog, "CmStretchMax", CmStretchMax, "Max Palette Stretch\tCTL+M",
     "Ctrl+M", 1904, "Stretch the display to the image's range"},
};

}  // namespace

void register_processing_commands(Program& p) {
    p.commands.add(kRows);
}

}  // namespace kvr
