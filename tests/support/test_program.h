#pragma once
// A fresh program on the virtual clock with a script host writing into a string, and a drive
// root in a temporary directory removed afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "app/script_host.h"
#include "app/startup.h"
#include "core/clock.h"
#include "core/program.h"

namespace kvr::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

class ProgramTest : public ::testing::Test {
  protected:
    ProgramTest();
    // Output printed by the host so far; clears it.
    std::string take_output();
    // Runs script lines; returns the output they printed. Fails the test on a script error.
    std::string run_script(const std::string& lines);

    TempDir drives;
    VirtualClock clock;
    std::ostringstream out;
    ScriptHost host{out, clock, &clock};
    std::unique_ptr<Program> program;
    Program& p;
};

}  // namespace kvr::test
