#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "headless/headless.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = kvr::parse_options(args, error);
    if (!options) {
        std::cerr << "kvr_q4: " << error << '\n' << kvr::usage_text();
        return 2;
    }
    // The Qt front end is not part of this build yet: every run uses the script host.
    return kvr::run_headless(*options);
}
