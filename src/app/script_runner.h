#pragma once
// The script language of the headless front end: one command per line.
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/dialog.h"

namespace kvr {

struct Program;
class ScriptHost;

struct ScriptError {
    int line = 0;
    std::string text;
};

class ScriptRunner {
  public:
    ScriptRunner(Program& p, ScriptHost& host, std::ostream& out) : p_(p), host_(host), out_(out) {}
    // Runs every line; returns the first error, which stops the script.
    std::optional<ScriptError> run(std::istream& in);
    // Runs one line (without the line-number bookkeeping); false with `error` set on failure.
    bool run_line(const std::string& line, std::string& error);

  private:
    bool verb_set(const std::string& rest, std::string& error);
    bool verb_get(const std::string& rest, std::string& error);
    bool verb_command(const std::string& rest, std::string& error);
    bool verb_dialog(const std::string& rest, std::string& error);
    bool verb_key(const std::string& rest, std::string& error);
    bool verb_mouse(const std::string& verb, const std::string& rest, std::string& error);
    bool verb_wait(const std::string& rest, std::string& error);
    uint32_t script_time(uint32_t after_ms) const;

    Program& p_;
    ScriptHost& host_;
    std::ostream& out_;
    uint32_t start_ms_ = 0;
};

// Parses the actions of a `dialog` line ("click 1 edit 112 5 scroll 101 thumb 40").
bool parse_dialog_actions(const std::vector<std::string>& words, std::vector<ControlEvent>& out,
                          std::string& error);

}  // namespace kvr
