#pragma once
#include "core/options.h"

namespace kvr {

// Runs the script host over the script file or standard input; returns the process exit code
// (0, or 2 when the script stopped on an error).
int run_headless(const LaunchOptions& options);

}  // namespace kvr
