#pragma once
// The guider head's modal dialog "Auto Guider Camera Control" (GuiderDialog, resource 23): guider
// exposures and their preview loop, the dark frame, picking the guide star on the guider picture,
// the mount and AO trainings with their default and trained values, the swap boxes, the AO route
// and modes, manual moves while an arrow is held, and the two exits that hand over to the main
// camera or to stand-alone guiding. Each control changes its global (saving the settings file
// where the value is stored) and the dialog is redrawn from the globals.
#include <map>
#include <string>

#include "core/canvas.h"
#include "core/dialog.h"

namespace kvr {

inline constexpr int kGuiderDialogResource = 23;

// Control ids of the guider dialog.
namespace gd {
inline constexpr int kPicture = 800;  // the 500 × 290 guider picture (mouse: picture pixels)
inline constexpr int kExposureBar = 810, kHundredths = 811, kTenths = 812, kSeconds = 813,
                     kExposureEdit = 814;
inline constexpr int kStretchBar = 815, kStretchEdit = 816;
inline constexpr int kPointerX = 818, kPointerY = 819, kPickX = 820, kPickY = 821;
inline constexpr int kSelectStar = 822, kStart = 823, kStop = 824, kPause = 826,
                     kPointerValue = 827, kTrain = 828;
inline constexpr int kUsingEdit = 832, kUseDefault = 833;
inline constexpr int kDefaultEdits = 861;  // 861 … 865: guider_slewx … guider_theta
inline constexpr int kLatestEdits = 866;   // 866 … 870: RA_rate … theta
inline constexpr int kChangeDefaults = 871, kSaveLatest = 872, kIgnoreBacklash = 873,
                     kGoMainCamera = 874, kSwapNorthSouth = 875, kSwapEastWest = 876,
                     kStartGuiding = 878, kIgnoreRaAngle = 885;
inline constexpr int kMoveNorthSouth = 911, kMoveEastWest = 912;
inline constexpr int kDarkEdit = 913, kApplyDark = 914, kTakeDark = 915, kMedian = 916,
                     kStretchImages = 917;
inline constexpr int kAoDefaultX = 925, kAoDefaultY = 926, kAoTrainedX = 927, kAoTrainedY = 928;
inline constexpr int kSwapAoUpDown = 931, kSwapAoLeftRight = 932, kAoChangeDefaults = 933,
                     kAoSaveLatest = 934, kAoTrain = 935, kAoMode = 936, kAoUseDefault = 937,
                     kAoUsingEdit = 938, kGuidingMode = 939, kGuidingModeEdit = 940,
                     kCentraliseAo = 941, kAoModeEdit = 942, kSer1 = 943, kSer2 = 944, kPc = 945,
                     kSwapMountNorthSouth = 946, kSwapMountEastWest = 947;
inline constexpr int kHelp = 9;
}  // namespace gd

const DialogResource& guider_dialog_resource();

class GuiderDialog : public DialogModel {
  public:
    explicit GuiderDialog(Program& p)
        : DialogModel(p, guider_dialog_resource()), caption_(guider_dialog_resource().caption) {}
    void init() override;
    void handle(const ControlEvent& e) override;
    void render(DialogView& view) const override;
    std::string caption() const override { return caption_; }
    const Canvas* drawing(int control_id) const override;

  private:
    void click(int id);
    void scroll(const ControlEvent& e);
    void mouse(const ControlEvent& e);
    void exposure_range(int id);
    void stretch_scroll(const ControlEvent& e);
    void pick_star(int x, int y);
    void manual_move(const ControlEvent& e, char up_direction, char down_direction);
    void stop_manual_move();
    void change_defaults();
    void change_ao_defaults();
    void train(bool ao);
    void redraw();
    void draw_picture() const;

    std::string caption_;
    // Labels the Use Default buttons carry since the last press (a fresh dialog starts with the
    // resource's captions).
    std::string use_label_, ao_use_label_;
    // What the user typed in the default edits, read by the Change Defaults buttons.
    std::map<int, std::string> edits_;
    mutable Canvas picture_;
};

}  // namespace kvr
