#pragma once
// The two modeless telescope windows opened by window command 24: "KVR_Q4 Move Telescope"
// (TelescopeDialog, resource 30) for an LX200 mount, with go-to by catalogue number, planet or
// co-ordinates, manual moves at a chosen rate and the focuser; and "Move Telescope" (BoxDialog,
// resource 31) for the guide-interface box, with four-way manual moves. A move runs while an
// arrow of a scroll bar is held (line up / line down) and stops when it is let go (end of
// scroll); closing a window stops a move it started.
#include <map>
#include <string>

#include "core/dialog.h"

namespace kvr {

inline constexpr int kTelescopeDialogResource = 30;
inline constexpr int kBoxDialogResource = 31;

// Control ids of the telescope window.
namespace mt {
inline constexpr int kMessierEdit = 101, kNgcEdit = 102, kGotoObject = 103;
inline constexpr int kMercury = 104, kPluto = 111;  // the eight planet buttons, 104 … 111
inline constexpr int kRaHoursEdit = 112, kRaMinutesEdit = 113, kDecDegreesEdit = 114,
                     kDecMinutesEdit = 115, kGotoCoordinates = 116, kInfoEdit = 117;
inline constexpr int kEastWestBar = 118, kNorthSouthBar = 119;
inline constexpr int kSlew = 120, kFind = 121, kCentre = 122, kGuide = 123;
inline constexpr int kFocusBar = 124, kFocusFast = 125, kFocusSlow = 126;
inline constexpr int kHelp = 9;
}  // namespace mt

// Box window: arrows of 101 move west / east, of 102 north / south.
namespace cb {
inline constexpr int kEastWestBar = 101, kNorthSouthBar = 102;
}

inline constexpr char kTelescopeBoxCaption[] = "KVR_Q4 - Control Telescope";
inline constexpr char kObjectOutOfRange[] = "Object out of range - try again";
inline constexpr char kInvalidCoordinates[] =
    "Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min, to 23hr 59mins\n        Dec  -89deg "
    "00min, to +89deg 59mins";

const DialogResource& telescope_dialog_resource();
const DialogResource& box_dialog_resource();

class TelescopeDialog : public DialogModel {
  public:
    explicit TelescopeDialog(Program& p) : DialogModel(p, telescope_dialog_resource()) {}
    void handle(const ControlEvent& e) override;
    void render(DialogView& view) const override;

  private:
    void goto_object();
    void goto_coordinates();
    void move_arrow(const ControlEvent& e, char up_direction, char down_direction);
    void focus_arrow(const ControlEvent& e);
    void stop_all();
    void box(const char* text);

    // What the user typed in the edits, read when a go-to button is pressed.
    std::map<int, std::string> edits_;
};

class BoxDialog : public DialogModel {
  public:
    explicit BoxDialog(Program& p) : DialogModel(p, box_dialog_resource()) {}
    void handle(const ControlEvent& e) override;
};

// The window for the drive method: the box window for `telescope` 'b', else the telescope
// window; made on first use, opened (or raised) modelessly.
void open_telescope_window(Program& p);

}  // namespace kvr
