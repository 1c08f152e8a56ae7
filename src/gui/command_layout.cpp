#include "gui/command_layout.h"

#include <algorithm>
#include <array>

namespace kvr::gui {

const std::vector<MenuLayout>& further_menus() {
    static const std::vector<MenuLayout> menus = {
        {"&Edit",
         {{kCmdCopy, "&Copy\tShift+Ins"},
          {9, "&Undo Last Filter\tCTL+U"},
          {0},
          {8, "&Label\tCTL+L"},
          {20, "&Show/Edit Current Image FITS details"},
          {17, "Processing &History"}}},
        {"&Display",
         {{301, "&Fit to window"},
          {303, "Resample to qx4 &Geometry"},
          {123, "Enlarge by 50%"},
          {0},
          {118, "False Colour P&alette"},
          {119, "&Auto contrast stretch image"},
          {726, "Max Palette Stretch\tCTL+M"}}},
        {"&Contrast",
         {{1, "&Normal Stretch\tCTL+N"},
          {2, "&Power Law Stretch"},
          {101, "&Sine Law Stretch"},
          {120, "&Remove Background\tCTL+B "},
          {117, "N&on-Linear Stretch"},
          {102, "&Logarithmic Stretch"},
          {103, "&Antilogarithmic Stretch"},
          {105, "&Invert image to Negative"}}},
        {"F&ilters",
         {{106, "&Unsharp masking HPF"},
          {3, "&Median Filter - Noise Reduction"},
          {4, "&Gaussian Smoother Filter"},
          {5, "Low Pass &Weighted Mean &Smoother"},
          {107, "&High Pass, Low Power"},
          {108, "High Pass, High &Power"},
          {109, "&Smoother/Sharper Filter"},
          {7, "&Bas Relief Generator"},
          {18, "Gradient &Filter"},
          {29, "&Vertical Smoothing"}}},
        {"&Merging",
         {{110, "&Subtract Image (Dark Frame)"},
          {111, "Merge two Images &together"},
          {126, "Average &with current Image"},
          {115, "Apply &Flat Field"},
          {0},
          {302, "&Mirror Image"}}},
        {"&Analysis",
         {{6, "&Histogram\tCTL+H"},
          {16, "Intensity Plot of Current R&ow"},
          {15, "3-D &Intensity Plot"},
          {0},
          {14, "&Photometry of Image"},
          {125, "Blink Comparison"}}},
        {"&Guide", {{890, "Start Guider Guiding"}, {889, "Guide &Telescope"}}},
        {"&Help", {{112, "&Help"}, {113, "&About KVR_Q4..."}}},
    };
    return menus;
}

const std::vector<ToolItem>& tool_bar_layout() {
    static const std::vector<ToolItem> items = {
        {24333, 24333},
        {24335, 24336},
        {24332, 24332},
        {.gap = 8},
        {12, 1000},
        {27, 1001},
        {.gap = 6},
        {kMaxStretchOnButton, 1002},
        {kMaxStretchOffButton, 1003},
        {726, 1904},
        {.gap = 8},
        {121, 121},
        {.gap = 6},
        {14, 1903},
        {.gap = 6},
        {1, 1},
        {117, 117},
        {2, 2},
        {120, 120},
        {106, 106},
        {3, 3},
        {.gap = 6},
        {110, 110},
        {115, 115},
        {111, 111},
        {kCmdTelescopeControl, 24},
    };
    return items;
}

bool is_internal_command(int id) {
    // contrast_stretch, PaintIt, the blink window's two, the stretch dialog's check box and
    // repaint request; the two tool-bar stretch buttons have no menu item either.
    static constexpr std::array kInternal = {888, 891, 925, 926, 1906, 1907};
    return std::find(kInternal.begin(), kInternal.end(), id) != kInternal.end();
}

const std::vector<Accelerator>& extra_accelerators() {
    static const std::vector<Accelerator> keys = {
        {"Shift+Ins", kCmdCopy}, {"Alt+Shift+X", kCmdExit},  // Alt+X in either case
    };
    return keys;
}

}  // namespace kvr::gui
