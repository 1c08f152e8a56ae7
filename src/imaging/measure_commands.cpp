// Window commands of the measuring windows (blink comparison is the display's).
#include "imaging/measure_commands.h"

#include "core/program.h"
#include "imaging/level_views.h"
#include "imaging/merging.h"
#include "imaging/photometry.h"

namespace kvr {

namespace {

constexpr CommandRow kRows[] = {
    {Cmd::AddImage, "add_image", add_image, "Merge two Images &together", "", 111, "Add an image"},
    {Cmd::Histogram, "open_histogram", open_histogram, "&Histogram\tCTL+H", "Ctrl+H"},
    {Cmd::RowProfile, "open_row_profile", open_row_profile, "Intensity Plot of Current R&ow"},
    {Cmd::Plot3D, "open_plot_3d", open_plot_3d, "3-D &Intensity Plot"},
    {Cmd::Photometry, "open_photometry", open_photometry, "&Photometry of Image", "", 1903,
     "Photometry"},
};

}  // namespace

void register_measure_commands(Program& p) {
    p.commands.add(kRows);
}

}  // namespace kvr
