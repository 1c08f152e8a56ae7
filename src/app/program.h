#pragma once
// The program's whole state, owned by one object created once on the heap. Every operation takes
// the Program; tests build a fresh one each.
#include <memory>
#include <string>

#include "acquire/run_state.h"
#include "app/clock.h"
#include "app/commands.h"
#include "app/host.h"
#include "app/options.h"
#include "app/registry.h"
#include "app/shell_state.h"
#include "camera/image_store.h"
#include "camera/link_state.h"
#include "files/settings_state.h"
#include "guiding/guide_state.h"
#include "imaging/display_state.h"
#include "imaging/measure_state.h"
#include "imaging/processing_state.h"
#include "scope/scope_state.h"

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

    // The five frame buffers and the guider buffers (about 4.6 MB), allocated once.
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
    ScopeState scope;
    ShellState shell;

    Registry registry;
    CommandTable commands;
    MouseHandlers mouse;
    LaunchOptions options;

    // Directory onto which drive paths ("c:\\autosave\\KVR_Q4.INI") are mapped.
    std::string drive_root;
    // The guiding information window (TIN) exists.
    bool info_window_open = false;
    // cmExit ran: the front end closes the main window.
    bool exit_requested = false;
};

// Creates the program as the application's start-up does: pointers at their buffers, geometry
// from `binned`, the test image written, every command registered.
std::unique_ptr<Program> make_program(Clock& clock, Host& host, std::string drive_root);

}  // namespace kvr
