#pragma once
// The program's whole state, owned by one object created once on the heap. Every operation takes
// the Program; tests build a fresh one each.
#include <memory>
#include <string>

#include "core/calibration_state.h"
#include "core/clock.h"
#include "core/commands.h"
#include "core/display_state.h"
#include "core/dither_state.h"
#include "core/guide_graph_state.h"
#include "core/guide_log_state.h"
#include "core/guide_state.h"
#include "core/host.h"
#include "core/image_store.h"
#include "core/link_state.h"
#include "core/measure_state.h"
#include "core/options.h"
#include "core/processing_state.h"
#include "core/registry.h"
#include "core/run_state.h"
#include "core/scope_state.h"
#include "core/settings_state.h"
#include "core/shell_state.h"

namespace kvr {

class BlockDevice;
class DeviceEnumerator;

struct Program {
    Program(Clock& clock, Host& host);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();

    // Platform seams.
    Clock& clock;
    Host& host;
    // Lists and opens camera interfaces (libusb or the simulator), chosen by the front end.
    std::shared_ptr<DeviceEnumerator> devices;
    // The open camera interface, empty until discovery opens it (camera/usb_link.h).
    std::unique_ptr<BlockDevice> BlockIOHandle;
    // The HID report pair's device; discovery never opens it.
    std::unique_ptr<BlockDevice> HidHandle;

    // The five frame buffers, the guider buffers and the image file buffer (about 5.5 MB),
    // allocated once.
    std::unique_ptr<Buffers> buf;
    ImagePointers ptr;
    Geometry geo;
    Readout readout;
    LinkState link;
    RunState run;
    DisplayState display;
    ProcessingState processing;
    MeasureState measure;
    SettingsState settings;
    GuideState guide;
    CalibrationState calib;
    GuideGraphState graph;
    DitherState dither;
    GuideLogState guide_log;
    ScopeState scope;
    ShellState shell;

    Registry registry;
    CommandTable commands;
    MouseHandlers mouse;
    LaunchOptions options;

    // Directory onto which drive paths ("c:\\autosave\\KVR_Q4.INI") are mapped.
    std::string drive_root;
    // The guiding information window is open and follows a running guide loop.
    bool info_window_open = false;
    // The display refresh (display/display.h, image_prepare) that image-changing commands end
    // with. The subsystems below display/ reach it through refresh_display(); start-up wires it.
    void (*display_refresh)(Program&) = nullptr;
    // Services of the camera run (acquire/) that the guide loops below it use: showing a finished
    // frame (record_and_show_frame) and the telescope link check (comm_check). Start-up wires them.
    void (*show_image)(Program&) = nullptr;
    void (*telescope_link_check)(Program&) = nullptr;
    // exit_program ran: the front end closes the main window.
    bool exit_requested = false;
};

// Ends an image-changing operation with the display refresh.
inline void refresh_display(Program& p) {
    p.display_refresh(p);
}

// Shows the frame in `image` as a finished frame (record_and_show_frame).
inline void show_finished_frame(Program& p) {
    p.show_image(p);
}

// Checks the link to the mount once (comm_check); `comfound` says whether it answered.
inline void check_telescope_link(Program& p) {
    p.telescope_link_check(p);
}

}  // namespace kvr
