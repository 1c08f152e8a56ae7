// The guider dialog's controls: the picture on the left, exposure, preview, dark frame and the
// pointer beside it, the mount's calibration and the AO unit's below.
#include "guiding/guider_dialog.h"

namespace kvr {

namespace {

using K = ControlKind;
using namespace resource_builders;

constexpr int kRangeGroup = 1;
constexpr int kAoRouteGroup = 2;

ControlDesc shown(int id, int row, int col, int col_span = 1) {
    ControlDesc c = ctl(id, K::Edit, "", row, col, col_span);
    c.read_only = true;
    return c;
}

ControlDesc box(const char* caption, int row, int col, int row_span, int col_span) {
    ControlDesc c = ctl(-1, K::GroupBox, caption, row, col, col_span);
    c.row_span = row_span;
    return c;
}

}  // namespace

const DialogResource& guider_dialog_resource() {
    using namespace gd;
    static const DialogResource res = [] {
        DialogResource r;
        r.id = kGuiderDialogResource;
        r.caption = "Auto Guider Camera Control";
        r.modal = true;
        ControlDesc picture = ctl(kPicture, K::DrawArea, "", 0, 0, 4);
        picture.row_span = 11;
        picture.width = 500;
        picture.height = 290;
        r.controls = {
            picture,
            box("Exposure", 0, 4, 3, 4),
            radio(kHundredths, "Hundredths", kRangeGroup, 0, 4),
            radio(kTenths, "Tenths", kRangeGroup, 0, 5),
            radio(kSeconds, "Seconds", kRangeGroup, 0, 6),
            shown(kExposureEdit, 1, 4),
            bar(kExposureBar, false, 1, 5, 1, 1),
            ctl(kPause, K::CheckBox, "1 Sec Pause", 1, 6, 2),
            label("Stretch Image", 2, 4),
            bar(kStretchBar, true, 2, 5, 1, 2),
            shown(kStretchEdit, 2, 7),
            ctl(kStart, K::Button, "Start", 3, 4),
            ctl(kStop, K::Button, "Stop", 3, 5),
            ctl(kSelectStar, K::Button, "Select Guide Star", 3, 6, 2),
            box("DarkFrame", 4, 4, 2, 4),
            ctl(kTakeDark, K::Button, "Take DarkFrame", 4, 4),
            ctl(kApplyDark, K::CheckBox, "Apply DarkFrame", 4, 5),
            shown(kDarkEdit, 4, 6, 2),
            ctl(kMedian, K::CheckBox, "Apply Median Filter to all Images", 5, 4, 2),
            ctl(kStretchImages, K::CheckBox, "Apply Stretch to Guider Images", 5, 6, 2),
            label("Pointer x, y (px), value", 6, 4),
            shown(kPointerX, 6, 5),
            shown(kPointerY, 6, 6),
            shown(kPointerValue, 6, 7),
            label("Guide Star x, y (px)", 7, 4),
            shown(kPickX, 7, 5),
            shown(kPickY, 7, 6),
            box("Move Telescope", 8, 4, 2, 4),
            label("West / East", 8, 4),
            bar(kMoveEastWest, true, 8, 5, 1, 2),
            label("North / South", 9, 4),
            bar(kMoveNorthSouth, false, 9, 5, 1, 1),
            ctl(kGoMainCamera, K::Button, "Go to Main Camera", 10, 4),
            ctl(kStartGuiding, K::Button, "Start Guiding", 10, 5),
            ctl(kHelp, K::Button, "Help", 10, 6),
            ctl(kIdcCancel, K::DefaultButton, "Close", 10, 7),

            box("Telescope Drive Calibration", 11, 0, 5, 8),
            label("RA rate (px/s)", 11, 1),
            label("Dec rate (px/s)", 11, 2),
            label("RA backlash (px)", 11, 3),
            label("Dec backlash (px)", 11, 4),
            label("RA angle (rad)", 11, 5),
            label("Defaults", 12, 0),
            ctl(kDefaultEdits, K::Edit, "", 12, 1),
            ctl(kDefaultEdits + 1, K::Edit, "", 12, 2),
            ctl(kDefaultEdits + 2, K::Edit, "", 12, 3),
            ctl(kDefaultEdits + 3, K::Edit, "", 12, 4),
            ctl(kDefaultEdits + 4, K::Edit, "", 12, 5),
            ctl(kChangeDefaults, K::Button, "Change Defaults", 12, 6),
            label("Latest", 13, 0),
            shown(kLatestEdits, 13, 1),
            shown(kLatestEdits + 1, 13, 2),
            shown(kLatestEdits + 2, 13, 3),
            shown(kLatestEdits + 3, 13, 4),
            shown(kLatestEdits + 4, 13, 5),
            ctl(kSaveLatest, K::Button, "Save Latest", 13, 6),
            ctl(kTrain, K::Button, "Train", 14, 0),
            ctl(kUseDefault, K::Button, "Use Default", 14, 1),
            shown(kUsingEdit, 14, 2, 2),
            ctl(kIgnoreBacklash, K::CheckBox, "Ignore Backlash", 14, 4),
            ctl(kIgnoreRaAngle, K::CheckBox, "Ignore RA Angle", 14, 5),
            ctl(kSwapNorthSouth, K::CheckBox, "Swap n/s direction", 15, 0, 2),
            ctl(kSwapEastWest, K::CheckBox, "Swap e/w direction", 15, 2, 2),

            box("AO Unit", 16, 0, 4, 8),
            radio(kSer1, "Ser 1", kAoRouteGroup, 16, 0),
            radio(kSer2, "Ser 2", kAoRouteGroup, 16, 1),
            radio(kPc, "PC ", kAoRouteGroup, 16, 2),
            ctl(kAoMode, K::Button, "AO Mode", 16, 3),
            shown(kAoModeEdit, 16, 4),
            ctl(kGuidingMode, K::Button, "Guiding Mode", 16, 5),
            shown(kGuidingModeEdit, 16, 6),
            label("Defaults x, y (steps/px)", 17, 0),
            ctl(kAoDefaultX, K::Edit, "", 17, 1),
            ctl(kAoDefaultY, K::Edit, "", 17, 2),
            ctl(kAoChangeDefaults, K::Button, "Change Defaults", 17, 3),
            label("Trained x, y (steps/px)", 17, 4),
            shown(kAoTrainedX, 17, 5),
            shown(kAoTrainedY, 17, 6),
            ctl(kAoSaveLatest, K::Button, "Save Latest", 17, 7),
            ctl(kAoTrain, K::Button, "Train", 18, 0),
            ctl(kAoUseDefault, K::Button, "Use Default", 18, 1),
            shown(kAoUsingEdit, 18, 2, 2),
            ctl(kCentraliseAo, K::Button, "Centralise AO", 18, 4),
            ctl(kSwapAoUpDown, K::CheckBox, "Swap AO Up/Down", 19, 0, 2),
            ctl(kSwapAoLeftRight, K::CheckBox, "Swap AO Left/Right", 19, 2, 2),
            ctl(kSwapMountNorthSouth, K::CheckBox, "Swap Mount N/S", 19, 4, 2),
            ctl(kSwapMountEastWest, K::CheckBox, "Swap Mount E/W", 19, 6, 2),
        };
        return r;
    }();
    return res;
}

}  // namespace kvr
