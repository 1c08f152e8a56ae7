// The camera control dialog: its resource, its handlers and what it shows.
#include "acquire/camera_dialog.h"

#include <gtest/gtest.h>

#include <set>

#include "acquire/sim_run.h"
#include "core/program.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

class CameraDialogTest : public ProgramTest {
  protected:
    CameraDialogTest() { dialog.init(); }
    void click(int id) { send(ControlEvent::Kind::Click, id); }
    void edit(int id, const std::string& text) {
        ControlEvent e;
        e.kind = ControlEvent::Kind::TextEdited;
        e.id = id;
        e.text = text;
        dialog.handle(e);
    }
    void scroll(int id, ScrollCode code, int times = 1) {
        for (int i = 0; i < times; ++i) {
            ControlEvent e;
            e.kind = ControlEvent::Kind::Scroll;
            e.id = id;
            e.scroll = code;
            dialog.handle(e);
        }
    }
    void send(ControlEvent::Kind kind, int id) {
        ControlEvent e;
        e.kind = kind;
        e.id = id;
        dialog.handle(e);
    }
    ControlState shown(int id) { return dialog.view()[id]; }

    CameraDialog dialog{p};
};

TEST_F(CameraDialogTest, ResourceHoldsEveryControlOnce) {
    const DialogResource& r = camera_dialog_resource();
    EXPECT_EQ(r.id, 7);
    EXPECT_EQ(r.caption, "QX Control Interface");
    EXPECT_TRUE(r.modal);
    std::multiset<int> ids;
    for (const auto& c : r.controls)
        if (c.id >= 0) ids.insert(c.id);
    for (int id :
         {1,   2,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,  104, 105, 106, 107, 108, 109,
          111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128,
          129, 130, 132, 133, 134, 135, 136, 138, 139, 140, 701, 702, 703, 704, 705, 710, 716})
        EXPECT_EQ(ids.count(id), 1u) << "control " << id;
    EXPECT_EQ(r.control(701)->group, r.control(705)->group);
    EXPECT_EQ(r.control(126)->group, r.control(129)->group);
    EXPECT_NE(r.control(701)->group, r.control(126)->group);
    EXPECT_EQ(r.control(kv::kTakePhoto)->kind, ControlKind::DefaultButton);
    EXPECT_FALSE(r.control(kv::kExposureSpin)->horizontal);
}

TEST_F(CameraDialogTest, RangeButtonsSetValueAndLimit) {
    click(kv::kRangeMinutes);
    EXPECT_EQ(p.run.exp_range, 'm');
    EXPECT_EQ(p.run.exp_value, 1);
    EXPECT_EQ(p.run.max_exp, 90);
    EXPECT_EQ(shown(kv::kExposureSpin).max, 90);
    EXPECT_TRUE(shown(kv::kRangeMinutes).checked);
    EXPECT_FALSE(shown(kv::kRangeSeconds).checked);
    click(kv::kRangeThousandths);
    EXPECT_EQ(p.run.exp_value, 5);
    EXPECT_EQ(p.run.max_exp, 1000);
    EXPECT_EQ(shown(kv::kExposureEdit).text, "5");
}

TEST_F(CameraDialogTest, SpinsStayWithinTheirBounds) {
    click(kv::kRangeMinutes);
    scroll(kv::kExposureSpin, ScrollCode::LineDown, 95);
    EXPECT_EQ(p.run.exp_value, 90);
    scroll(kv::kExposureSpin, ScrollCode::LineUp, 100);
    EXPECT_EQ(p.run.exp_value, 1);
    scroll(kv::kImagesSpin, ScrollCode::LineUp);
    EXPECT_EQ(p.run.no_images, 1);
    scroll(kv::kImagesSpin, ScrollCode::LineDown, 120);
    EXPECT_EQ(p.run.no_images, 99);
    EXPECT_EQ(shown(kv::kImagesEdit).text, "99");
    scroll(kv::kPauseSpin, ScrollCode::LineUp);
    EXPECT_EQ(p.settings.continuous_delay, 0);
    scroll(kv::kPauseSpin, ScrollCode::LineDown, 25);
    EXPECT_EQ(p.settings.continuous_delay, 20);
}

TEST_F(CameraDialogTest, TypedExposureIsTakenOverBelowTheLimitAndByTakePhoto) {
    edit(kv::kExposureEdit, "30");
    click(kv::kContinuous);  // any handler refreshes the values
    EXPECT_EQ(p.run.exp_value, 30);
    edit(kv::kExposureEdit, "300");  // the limit itself is not taken over by a refresh
    click(kv::kContinuous);
    EXPECT_EQ(p.run.exp_value, 30);
    edit(kv::kExposureEdit, "300");
    click(kv::kTakePhoto);
    EXPECT_TRUE(dialog.ended());
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(p.run.exp_value, 300);
}

TEST_F(CameraDialogTest, TakePhotoIgnoresZeroAndNonNumbers) {
    for (const char* text : {"0", "", "12s", "-3", "x"}) {
        edit(kv::kExposureEdit, text);
        click(kv::kTakePhoto);
        EXPECT_FALSE(dialog.ended()) << text;
    }
    EXPECT_EQ(p.run.exp_value, 1);
}

TEST_F(CameraDialogTest, SeriesSwitchesSavingOnAndLeavesItOn) {
    click(kv::kSeries);
    EXPECT_EQ(p.run.series_exposure, 1);
    EXPECT_EQ(p.settings.auto_save_fits, 1);
    click(kv::kSeries);
    EXPECT_EQ(p.run.series_exposure, 0);
    EXPECT_EQ(p.settings.auto_save_fits, 1);
    EXPECT_TRUE(shown(kv::kAutoSave).checked);
}

TEST_F(CameraDialogTest, CheckBoxesToggleTheirGlobals) {
    const std::pair<int, int*> boxes[] = {{kv::kContinuous, &p.run.continuous},
                                          {kv::kExposureDelay, &p.settings.exposure_delay},
                                          {kv::kAltSlew, &p.run.slew_sum_alt},
                                          {kv::kAverage, &p.run.slew_sum_average},
                                          {kv::kDarkRemove, &p.settings.darkframe_remove},
                                          {kv::kFlatApply, &p.settings.flatfield_remove},
                                          {kv::kAutoExposure, &p.run.auto_exposure},
                                          {kv::kFocusWait, &p.run.focus_wait}};
    for (auto [id, flag] : boxes) {
        send(ControlEvent::Kind::Toggle, id);
        EXPECT_EQ(*flag, 1) << id;
        EXPECT_TRUE(shown(id).checked) << id;
        click(id);
        EXPECT_EQ(*flag, 0) << id;
    }
}

TEST_F(CameraDialogTest, ModeButtonsChooseOneReadoutModeAndEndSelfGuiding) {
    p.guide.selfguiding = 1;
    click(kv::kModeNonInterlaced);
    EXPECT_EQ(p.readout.binned, 0);
    EXPECT_EQ(p.readout.highres_nonintl, 1);
    EXPECT_EQ(p.guide.selfguiding, 0);
    EXPECT_TRUE(shown(kv::kModeNonInterlaced).checked);
    click(kv::kModeBinned21);
    EXPECT_EQ(p.readout.highres_nonintl, 0);
    EXPECT_EQ(p.readout.binned21, 1);
}

TEST_F(CameraDialogTest, SelfGuideBoxAcceptsOnlyExposuresUnder12Seconds) {
    p.run.exp_range = 's';
    p.run.exp_value = 30;
    edit(kv::kExposureEdit, "30");  // the dialog takes the typed value over on each refresh
    p.run.selfguiding_exp_range = 's';
    p.run.selfguiding_exp_value = 20;
    click(kv::kSelfGuide);  // neither the main nor the stored exposure is short enough
    EXPECT_EQ(p.guide.selfguiding, 0);
    EXPECT_EQ(host.beeps(), 1);

    p.run.selfguiding_exp_value = 5;  // the stored one is: it is kept
    click(kv::kSelfGuide);
    EXPECT_EQ(p.guide.selfguiding, 1);
    EXPECT_EQ(p.run.selfguiding_exp_value, 5);
    click(kv::kSelfGuide);  // and off again
    EXPECT_EQ(p.guide.selfguiding, 0);

    // A short main exposure is copied; interlaced high resolution becomes non-interlaced.
    p.run.exp_range = 't';
    p.run.exp_value = 50;
    edit(kv::kExposureEdit, "50");
    p.readout.binned = 0;
    p.readout.highres_intl = 1;
    click(kv::kSelfGuide);
    EXPECT_EQ(p.guide.selfguiding, 1);
    EXPECT_EQ(p.run.selfguiding_exp_range, 't');
    EXPECT_EQ(p.run.selfguiding_exp_value, 50);
    EXPECT_EQ(p.readout.highres_intl, 0);
    EXPECT_EQ(p.readout.highres_nonintl, 1);
    EXPECT_EQ(p.run.switch_frame, 1);
    EXPECT_EQ(p.run.selfguidinghigh, 1);
    EXPECT_EQ(p.run.selfguiding21, 0);
    EXPECT_EQ(p.scope.comfound, 1);  // the drive link was checked on the way
}

TEST_F(CameraDialogTest, MatchingDarkBoxTogglesSelfGuidedDarkFrames) {
    p.run.selfguidingframes = 12;
    p.readout.binned = 0;
    p.readout.binned21 = 1;
    click(kv::kMatchingDark);
    EXPECT_EQ(p.run.selfguiding_darkframe, 1);
    EXPECT_EQ(p.guide.selfguiding, 1);
    EXPECT_EQ(p.run.darkframes, 12);
    EXPECT_EQ(p.run.selfguiding21, 1);
    EXPECT_EQ(p.run.switch_frame, 1);
    click(kv::kMatchingDark);
    EXPECT_EQ(p.run.selfguiding_darkframe, 0);
    EXPECT_EQ(p.guide.selfguiding, 0);
}

TEST_F(CameraDialogTest, FilterButtonsStepAndWrapAroundMaxFilters) {
    p.settings.Max_Filters = 5;
    click(kv::kFilterPrev);
    EXPECT_EQ(p.scope.Filterbox_Filter, 5);
    click(kv::kFilterNext);
    EXPECT_EQ(p.scope.Filterbox_Filter, 1);
    click(kv::kFilterNext);
    EXPECT_EQ(p.scope.Filterbox_Filter, 2);
    click(kv::kFilterFirst);
    EXPECT_EQ(p.scope.Filterbox_Filter, 1);
}

TEST_F(CameraDialogTest, GuiderButtonsFollowTheGuiderState) {
    p.guide.guider_guiding_standalone = 1;
    click(kv::kAutoGuidePhoto);
    click(kv::kGoToAutoguider);
    EXPECT_EQ(lines_starting(take_output(), "message 59: ").size(), 2u);
    EXPECT_FALSE(dialog.ended());
    p.guide.guider_guiding_standalone = 0;
    click(kv::kGoToAutoguider);  // telescope 'n'
    EXPECT_NE(take_output().find(
                  "message 50: Please select a telescope drive method before using autoguider"),
              std::string::npos);
    p.guide.guider_picked_star = 1;
    click(kv::kAutoGuidePhoto);
    EXPECT_EQ(p.guide.guider_guiding, 1);
    EXPECT_EQ(dialog.result(), kIdOk);
}

TEST_F(CameraDialogTest, GoToAutoguiderClosesWithCancelAndARequest) {
    p.scope.telescope = 'l';
    click(kv::kGoToAutoguider);
    EXPECT_EQ(p.run.start_autoguidercam, 1);
    EXPECT_EQ(dialog.result(), kIdCancel);
}

TEST_F(CameraDialogTest, ModeTextsDescribeTheRun) {
    EXPECT_EQ(shown(kv::kCameraMode).text, "Single Image");
    EXPECT_EQ(shown(kv::kGuiderCamera).text, "Guider Camera not detected");
    scroll(kv::kImagesSpin, ScrollCode::LineDown);
    EXPECT_EQ(shown(kv::kCameraMode).text, "Auto Merging");
    click(kv::kContinuous);
    EXPECT_EQ(shown(kv::kCameraMode).text, "Series Imaging");
    p.guide.got_guidercam = 1;
    EXPECT_EQ(shown(kv::kGuiderCamera).text, "Guider Camera available");
    p.guide.selfguiding = 1;
    p.run.selfguiding_exp_value = 3;
    p.run.selfguiding_exp_range = 't';
    p.run.selfguidinghigh = 1;
    EXPECT_EQ(shown(kv::kSelfGuideUnit).text, "tenths");
    EXPECT_EQ(shown(kv::kSelfGuideValue).text, "3");
    EXPECT_EQ(shown(kv::kSelfGuideResolution).text, "High Resolution  - Interlaced");
}

TEST_F(CameraDialogTest, HelpShowsItsBox) {
    click(kv::kHelp);
    EXPECT_EQ(take_output().rfind("box KVR_Q4 - Control QX Camera: ", 0), 0u);
}

// Focus mode runs in the dialog against the camera.
using FocusModeTest = SimRunTest;

TEST_F(FocusModeTest, FramesUntilALeftMousePressNotAKey) {
    // Keys and a right press go to the dialog; only the left press ends the frames.
    run_script("key 500\nmouse right 10 10 600\nmouse left 10 10 6500\n");
    const std::string out = run_script("dialog 7 click 107 click 2\ncommand 12\n");
    EXPECT_GE(reads().size(), 3u);
    EXPECT_GE(p.clock.ms(), 6500u);
    EXPECT_EQ(p.display.focussed, 1);  // the focus bitmap was written
    EXPECT_GT(p.run.max_value, 1000);
    EXPECT_EQ(p.run.max_value, p.readout.max_focus_val);
    EXPECT_EQ(p.run.stopit, 1);
    // Leaving the dialog after focusing rebuilds the display and ends focus mode.
    EXPECT_EQ(p.run.focus_mode, 0);
    EXPECT_EQ(lines_starting(out, "caption: ").size(), 1u);
    // The main picture is rebuilt from the image, not read back from a missing scratch file.
    EXPECT_EQ(out.find("message 32"), std::string::npos) << out;
    for (const auto& r : reads()) {
        EXPECT_EQ(r.code, kCmdReadAfterDelay);  // 1 s windows are timed by the camera
        EXPECT_EQ(r.delay_ms, 1000u);
    }
}

TEST_F(FocusModeTest, ThumbnailShowsTheLastFocusFrame) {
    CameraDialog before(p);
    EXPECT_EQ(before.drawing(kv::kFocusThumbnail), nullptr);  // no focus frame yet
    run_script("mouse left 0 0 2500\n");
    run_script("dialog 7 click 107 click 2\ncommand 12\n");
    CameraDialog dialog(p);
    const Canvas* thumb = dialog.drawing(kv::kFocusThumbnail);
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(thumb->width(), 128);
    EXPECT_EQ(thumb->height(), 128);
    // The focus star stands out of the sky around it.
    EXPECT_NE(thumb->at(64, 64), thumb->at(5, 5));
    EXPECT_EQ(dialog.drawing(kv::kFocusStart), nullptr);
}

TEST_F(FocusModeTest, AskingBeforeEachFrameStopsOnCancel) {
    run_script("answer cancel\n");
    const std::string out = run_script("dialog 7 click 132 click 107 click 2\ncommand 12\n");
    EXPECT_EQ(reads().size(), 1u);
    EXPECT_NE(out.find("box KVR_Q4 - Focus Mode: Press OK to take next frame or Cancel to stop "
                       "focus mode"),
              std::string::npos);
}

TEST_F(FocusModeTest, MinutesAndLongValuesAreRefusedSilently) {
    run_script("dialog 7 click 705 click 107 click 2\ncommand 12\n");
    run_script("set exp_range s\nset exp_value 100\ndialog 7 click 107 click 2\ncommand 12\n");
    EXPECT_TRUE(reads().empty());
    EXPECT_EQ(p.run.focus_mode, 0);
}

}  // namespace
}  // namespace kvr::test
