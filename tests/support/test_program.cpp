#include "support/test_program.h"

#include <cstdlib>
#include <filesystem>

#include "app/script_runner.h"

namespace kvr::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvr_test_XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    path_ = made ? made : "";
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

ProgramTest::ProgramTest() : program(make_program(clock, host, drives.path())), p(*program) {}

std::string ProgramTest::take_output() {
    std::string s = out.str();
    out.str("");
    return s;
}

std::string ProgramTest::run_script(const std::string& lines) {
    ScriptRunner runner(p, host, out);
    std::istringstream in(lines);
    auto error = runner.run(in);
    EXPECT_FALSE(error.has_value()) << "line " << error->line << ": " << error->text;
    return take_output();
}

}  // namespace kvr::test
