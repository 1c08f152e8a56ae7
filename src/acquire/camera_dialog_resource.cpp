// Resource 7: the camera control dialog's controls and their placement (rows and columns of
// the resource's grid; a group box holds the cells its span covers).
#include "acquire/camera_dialog.h"

namespace kvr {

namespace {

using K = ControlKind;

ControlDesc at(int id, K kind, const char* caption, int row, int col, int row_span = 1,
               int col_span = 1) {
    ControlDesc c;
    c.id = id;
    c.kind = kind;
    c.caption = caption;
    c.row = row;
    c.col = col;
    c.row_span = row_span;
    c.col_span = col_span;
    return c;
}

ControlDesc box(const char* caption, int row, int col, int row_span, int col_span) {
    return at(-1, K::GroupBox, caption, row, col, row_span, col_span);
}

ControlDesc label(const char* caption, int row, int col, int col_span = 1) {
    return at(-1, K::Static, caption, row, col, 1, col_span);
}

ControlDesc radio(int id, const char* caption, int group, int row, int col) {
    ControlDesc c = at(id, K::Radio, caption, row, col);
    c.group = group;
    return c;
}

ControlDesc shown(int id, int row, int col, int col_span = 1) {
    ControlDesc c = at(id, K::Edit, "", row, col, 1, col_span);
    c.read_only = true;
    return c;
}

ControlDesc spin(int id, int row, int col) {
    ControlDesc c = at(id, K::ScrollBar, "", row, col);
    c.horizontal = false;
    return c;
}

ControlDesc thumbnail(int id, int row, int col, int col_span) {
    ControlDesc c = at(id, K::DrawArea, "", row, col, 1, col_span);
    c.width = kv::kFocusThumbnailSize;
    c.height = kv::kFocusThumbnailSize;
    return c;
}

ControlDesc focus_profile() {
    ControlDesc c = at(kv::kFocusStarProfile, K::DrawArea, "", 13, 6, 1, 2);
    c.width = kv::kFocusThumbnailSize;
    c.height = kv::kFocusProfileHeight;
    return c;
}

constexpr int kRangeGroup = 1;
constexpr int kModeGroup = 2;

}  // namespace

const DialogResource& camera_dialog_resource() {
    static const DialogResource res = [] {
        DialogResource r;
        r.id = kCameraDialogResource;
        r.caption = "QX Control Interface";
        r.modal = true;
        r.controls = {
            // Left column: exposure, counts, readout mode.
            box("Exposure Range", 0, 0, 5, 2),
            radio(kv::kRangeThousandths, "Thousandth's", kRangeGroup, 0, 0),
            radio(kv::kRangeHundredths, "Hundredth's", kRangeGroup, 1, 0),
            radio(kv::kRangeTenths, "Tenth's", kRangeGroup, 2, 0),
            radio(kv::kRangeSeconds, "Seconds", kRangeGroup, 3, 0),
            radio(kv::kRangeMinutes, "Minutes", kRangeGroup, 4, 0),
            box("Exposure Value", 5, 0, 1, 2),
            at(kv::kExposureEdit, K::Edit, "", 5, 0),
            spin(kv::kExposureSpin, 5, 1),
            box("No of Exposures", 6, 0, 1, 2),
            shown(kv::kImagesEdit, 6, 0),
            spin(kv::kImagesSpin, 6, 1),
            box("Delay between exposures (mins)", 7, 0, 1, 2),
            shown(kv::kPauseEdit, 7, 0),
            spin(kv::kPauseSpin, 7, 1),
            box("Camera Binning", 8, 0, 4, 2),
            radio(kv::kModeBinned, "Standard (qx416)", kModeGroup, 8, 0),
            radio(kv::kModeBinned21, "High Res (Fast)", kModeGroup, 9, 0),
            radio(kv::kModeInterlaced, "High Res(Progressive)", kModeGroup, 10, 0),
            radio(kv::kModeNonInterlaced, "High Res(Interlaced)", kModeGroup, 11, 0),
            // Middle column: run options, calibration, saving.
            box("Multiple Exposure Options", 0, 2, 11, 2),
            at(kv::kContinuous, K::CheckBox, "Continuous Mode", 0, 2),
            at(kv::kExposureDelay, K::CheckBox, "Delay before exposure", 1, 2),
            at(kv::kAltSlew, K::CheckBox, "Alternative Slew Method", 2, 2),
            at(kv::kAverage, K::CheckBox, "Average Multiple Exposures", 3, 2),
            at(kv::kAutoSave, K::CheckBox, "Auto Save Image", 4, 2),
            at(kv::kDarkRemove, K::CheckBox, "Auto-Remove Dark Frame", 5, 2),
            at(kv::kDarkFile, K::Static, "", 5, 3),
            at(kv::kFlatApply, K::CheckBox, "Auto-Apply Flatfield", 6, 2),
            at(kv::kFlatFile, K::Static, "", 6, 3),
            at(kv::kSeries, K::CheckBox, "Series Exposure", 7, 2),
            label("(1,4,16,64,256x)", 7, 3),
            at(kv::kAutoExposure, K::CheckBox, "Auto Exposure Mode", 8, 2),
            label("Last File no.", 9, 2),
            shown(kv::kLastFileNumber, 9, 3),
            label("Directory", 10, 2),
            shown(kv::kAutoSaveDirectory, 10, 3),
            box("Camera Mode", 11, 2, 1, 2),
            at(kv::kCameraMode, K::Static, "", 11, 2, 1, 2),
            // Right column: focus mode and self-guiding.
            box("Focus Mode", 0, 4, 7, 2),
            at(kv::kFocusStart, K::Button, "Start", 0, 4),
            at(kv::kFocusStop, K::Button, "Stop", 0, 5),
            label("Max Value", 1, 4),
            resource_builders::in_unit(shown(kv::kMaxValue, 1, 5), "ADU"),
            label("FWHM", 2, 4),
            resource_builders::in_unit(shown(kv::kFwhm, 2, 5), "px"),
            label("Stretch", 3, 4),
            shown(kv::kStretchEdit, 3, 5),
            spin(kv::kStretchSpin, 4, 5),
            at(kv::kFocusWait, K::CheckBox, "Pause between focus frames", 5, 4, 1, 2),
            label("Focus Frame", 6, 4, 2),
            thumbnail(kv::kFocusThumbnail, 13, 4, 2),
            box("SelfGuiding Options", 7, 4, 6, 2),
            at(kv::kSelfGuide, K::CheckBox, "Self-Guide Next Exposure", 7, 4, 1, 2),
            at(kv::kMatchingDark, K::CheckBox, "Take matching Darkframe", 8, 4, 1, 2),
            label("Value", 9, 4),
            shown(kv::kSelfGuideValue, 9, 5),
            at(kv::kSelfGuideUnit, K::Static, "", 10, 5),
            label("No of Guider frames", 11, 4),
            shown(kv::kGuiderFrames, 11, 5),
            label("Resolution", 12, 4),
            at(kv::kSelfGuideResolution, K::Static, "", 12, 5),
            // Far right: filter wheel, guider camera, the closing buttons.
            box("Filter Wheel", 0, 6, 3, 2),
            at(kv::kFilterFirst, K::Button, "First", 0, 6),
            at(kv::kFilterNext, K::Button, "Next", 1, 6),
            at(kv::kFilterPrev, K::Button, "Prev", 2, 6),
            shown(kv::kFilterNumber, 0, 7),
            at(kv::kFilterName, K::Static, "", 1, 7),
            box("Guider Camera", 3, 6, 1, 2),
            at(kv::kGuiderCamera, K::Static, "", 3, 6, 1, 2),
            at(kv::kTakePhoto, K::DefaultButton, "Take Photo", 5, 6, 1, 2),
            at(kv::kAutoGuidePhoto, K::Button, "AutoGuide Photo", 6, 6, 1, 2),
            at(kv::kGoToAutoguider, K::Button, "Go To Autoguider", 7, 6, 1, 2),
            at(kv::kCancel, K::Button, "Cancel", 8, 6, 1, 2),
            at(kv::kHelp, K::Button, "Help", 9, 6, 1, 2),
            at(kv::kFocusStarPeak, K::Static, "", 10, 6, 1, 2),
            at(kv::kFocusStarHfd, K::Static, "", 11, 6, 1, 2),
            at(kv::kFocusStarFwhm, K::Static, "", 12, 6, 1, 2),
            focus_profile(),
        };
        return r;
    }();
    return res;
}

}  // namespace kvr
