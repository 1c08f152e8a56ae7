#pragma once
// CameraDialog: the modal camera control dialog (resource 7) through which every main-camera run is
// configured and started. Handlers change the run's globals; render() shows them.
#include <cstdint>
#include <string>

#include "core/canvas.h"
#include "core/dialog.h"
#include "guiding/star_figures.h"

namespace kvr {

inline constexpr int kCameraDialogResource = 7;

// Control ids.
namespace kv {
inline constexpr int kTakePhoto = 1;
inline constexpr int kCancel = 2;
inline constexpr int kHelp = 9;
inline constexpr int kFilterNumber = 10;
inline constexpr int kFilterName = 11;
inline constexpr int kFilterFirst = 12;
inline constexpr int kFilterNext = 13;
inline constexpr int kFilterPrev = 14;
inline constexpr int kAutoGuidePhoto = 15;
inline constexpr int kGoToAutoguider = 16;
inline constexpr int kCameraMode = 17;
inline constexpr int kGuiderCamera = 18;
inline constexpr int kExposureSpin = 104;
inline constexpr int kExposureEdit = 105;
inline constexpr int kAverage = 106;
inline constexpr int kFocusStart = 107;
inline constexpr int kFocusStop = 108;
inline constexpr int kMaxValue = 109;
inline constexpr int kImagesSpin = 111;
inline constexpr int kImagesEdit = 112;
inline constexpr int kDarkRemove = 113;
inline constexpr int kDarkFile = 114;
inline constexpr int kAltSlew = 115;
inline constexpr int kAutoSave = 116;
inline constexpr int kExposureDelay = 117;
inline constexpr int kContinuous = 118;
inline constexpr int kPauseSpin = 119;
inline constexpr int kPauseEdit = 120;
inline constexpr int kLastFileNumber = 121;
inline constexpr int kFlatApply = 122;
inline constexpr int kFlatFile = 123;
inline constexpr int kStretchSpin = 124;
inline constexpr int kAutoExposure = 125;
inline constexpr int kModeBinned = 126;
inline constexpr int kModeBinned21 = 127;
inline constexpr int kModeInterlaced = 128;
inline constexpr int kModeNonInterlaced = 129;
inline constexpr int kStretchEdit = 130;
inline constexpr int kFocusWait = 132;
inline constexpr int kSelfGuideValue = 133;
inline constexpr int kSelfGuideUnit = 134;
inline constexpr int kSelfGuide = 135;
inline constexpr int kSelfGuideResolution = 136;
inline constexpr int kMatchingDark = 138;
inline constexpr int kAutoSaveDirectory = 139;
inline constexpr int kGuiderFrames = 140;
inline constexpr int kRangeThousandths = 701;
inline constexpr int kRangeHundredths = 702;
inline constexpr int kRangeTenths = 703;
inline constexpr int kRangeSeconds = 704;
inline constexpr int kRangeMinutes = 705;
inline constexpr int kSeries = 710;
inline constexpr int kFwhm = 716;
// Drawing area of the last focus frame (the picture has no control of its own in the layout).
inline constexpr int kFocusThumbnail = 990;
inline constexpr int kFocusThumbnailSize = 128;
// The focus star's figures (peak and SNR, HFD, FWHM) and its profile, beside the thumbnail.
inline constexpr int kFocusStarPeak = 991, kFocusStarHfd = 992, kFocusStarFwhm = 993,
                     kFocusStarProfile = 994;
inline constexpr int kFocusProfileHeight = 64;
}  // namespace kv

const DialogResource& camera_dialog_resource();

class CameraDialog : public DialogModel {
  public:
    explicit CameraDialog(Program& p);

    void init() override;
    // Every event ends with the focus thumbnail read again, as a run may have rewritten it.
    void handle(const ControlEvent& event) override;
    void render(DialogView& view) const override;
    // The focus thumbnail once a focus frame has been written ("c:\\kvr_q4f.bmp").
    const Canvas* drawing(int control_id) const override;

    // Rewrites the value fields from the globals, first taking over a valid exposure typed into
    // edit 105.
    void show_values();
    // Focus mode: alternating 128 × 128 focus frames and pauses until stopped.
    void run_focus_mode();

    // Edit 105 as it stands.
    const std::string& exposure_text() const { return exposure_text_; }

  private:
    void handle_event(const ControlEvent& event);
    // Reads the focus thumbnail back from the focus scratch bitmap, when one has been written.
    void load_thumbnail();
    void choose_range(char range);
    void choose_mode(int id);
    bool toggle(int id);
    void spin(const ControlEvent& event);
    void take_photo();
    void autoguide_photo();
    void go_to_autoguider();
    void self_guide_box(int id);
    void focus_frame_pass();
    bool focus_pause_pass();
    void render_focus_star(DialogView& view) const;

    std::string exposure_text_;
    // 0 while a handler changes exp_value itself, so that show_values does not read the edit back.
    int not_pressed = 1;
    // The thumbnail last read back from the focus scratch bitmap.
    uint8_t thumbnail_pixels_[kv::kFocusThumbnailSize * kv::kFocusThumbnailSize] = {};
    Argb thumbnail_colours_[kPaletteEntries] = {};
    Canvas thumbnail_;
    bool thumbnail_loaded_ = false;
    // The brightest star of the last focus frame, and its profile's picture.
    StarFigures focus_star_;
    mutable Canvas focus_profile_;
};

}  // namespace kvr
