#include <iostream>
#include <string>
#include <vector>

#include "core/options.h"
#include "headless/device_choice.h"
#include "headless/headless.h"
#ifdef KVR_HAVE_GUI
#include "gui/gui_session.h"
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = kvr::parse_options(args, error);
    if (!options) {
        std::cerr << "kvr_q4: " << error << '\n' << kvr::usage_text();
        return 2;
    }
    if (options->headless) return kvr::run_headless(*options);
#ifdef KVR_HAVE_GUI
    if (!kvr::gui::display_available()) {
        std::cerr << "kvr_q4: no display found (DISPLAY and WAYLAND_DISPLAY are not set);"
                     " use --headless to run the script host\n";
        return 2;
    }
    return kvr::gui::run_gui(*options, argc, argv, kvr::make_device_enumerator);
#else
    std::cerr << "kvr_q4: this build has no Qt front end; running the script host\n";
    return kvr::run_headless(*options);
#endif
}
