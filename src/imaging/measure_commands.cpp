// Window commands of the measuring windows (blink comparison is the display's).
#include "imaging/measure_commands.h"

#include "core/program.h"
#include "imaging/level_views.h"
#include "imaging/merging.h"
#include "imaging/photometry.h"

namespace kvr {

namespace {

constexpr CommandRow kRows[] = {
    {Cmd::AddImage, "Add_Image", Add_Image, "Merge two Images &together", "", 111, "Add an image"},
    {Cmd::Histogram, "CmHistogram", CmHistogram, "&Histogram\tCTL+H", "Ctrl+H"},
    {Cmd::RowProfile, "CmRowInt", CmRowInt, "Intensity Plot of Current R&ow"},
    {Cmd::Plot3D, "Cm3D", Cm3D, "3-D &Intensity Plot"},
    {Cmd::Photometry, "CmPhotometry", CmPhotometry, "&Photometry of Image", "", 1903, "Photometry"},
};

}  // namespace

void register_measure_commands(Program& p) {
    p.commands.add(kRows);
}

}  // namespace kvr
