#include "imaging/processing_commands.h"

#include "core/program.h"
#include "imaging/adjust_dialogs.h"
#include "imaging/contrast_commands.h"
#include "imaging/enhance_commands.h"
#include "imaging/merge_commands.h"

namespace kvr {

namespace {

struct ProcessingCommand {
    int id;
    CommandHandler handler;
    const char* menu_text;  // empty for a command without a menu item
};

}  // namespace

void register_processing_commands(Program& p) {
    const ProcessingCommand commands[] = {
        // Contrast
        {1, CmContrastNormal, "&Normal Stretch\tCTL+N"},
        {2, CmContrastPower, "&Power Law Stretch"},
        {101, ContrastSine, "&Sine Law Stretch"},
        {120, ContrastBackground, "&Remove Background\tCTL+B "},
        {117, CmContrastVeltran, "N&on-Linear Stretch"},
        {102, logstretch, "&Logarithmic Stretch"},
        {103, antilog, "&Antilogarithmic Stretch"},
        {105, ContrastInvert, "&Invert image to Negative"},
        {kContrastStretchCommand, contrast_stretch, ""},
        // Filters
        {106, unsharp_enhance, "&Unsharp masking HPF"},
        {3, median_enhance, "&Median Filter - Noise Reduction"},
        {4, gaussian_enhance, "&Gaussian Smoother Filter"},
        {5, lowpass_enhance, "Low Pass &Weighted Mean &Smoother"},
        {107, highlow_enhance, "&High Pass, Low Power"},
        {108, highhigh_enhance, "High Pass, High &Power"},
        {109, smoothsharp_enhance, "&Smoother/Sharper Filter"},
        {7, basrelief_enhance, "&Bas Relief Generator"},
        {18, gradient_enhance, "Gradient &Filter"},
        {29, venetian_enhance, "&Vertical Smoothing"},
        // Image arithmetic
        {9, undo_restore_option, "&Undo Last Filter\tCTL+U"},
        {302, CmMirror, "&Mirror Image"},
        {110, Subtract_Image, "&Subtract Image (Dark Frame)"},
        {126, Average_Image, "Average &with current Image"},
        {115, Flat_Image, "Apply &Flat Field"},
        // The display stretch's dialog
        {726, CmStretchMax, "Max Palette Stretch\tCTL+M"},
    };
    CommandTable& t = p.commands;
    for (const ProcessingCommand& c : commands) {
        t.attach(c.id, c.handler);
        if (*c.menu_text) t.find(c.id)->menu_text = c.menu_text;
    }
}

}  // namespace kvr
