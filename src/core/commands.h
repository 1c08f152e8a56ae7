#pragma once
// The window command table: every menu item, accelerator and tool-bar button sends a command id;
// both front ends dispatch through this one table. Each subsystem gives the rows of its commands
// (CommandRow) in its own file; where they appear in the menus and on the tool bar is
// core/command_layout.h.
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "core/command_ids.h"

namespace kvr {

struct Program;

using CommandHandler = std::function<void(Program&)>;
// Mouse events on the main image, in window coordinates.
using MouseHandler = std::function<void(Program&, int x, int y)>;
struct MouseHandlers {
    MouseHandler left_up, right_up, move;
};
using CommandEnabler = std::function<bool(const Program&)>;

// One command as its subsystem declares it. Texts are used exactly as they stand.
struct CommandRow {
    Cmd id;
    const char* name;                           // handler name, e.g. "camera_control"
    void (*handler)(Program&) = nullptr;        // none: greyed out, "not available"
    const char* menu_text = "";                 // '&' mnemonic, tab and shortcut text; "" none
    const char* keys = "";                      // accelerator, "Ctrl+Z"; "" none
    int bitmap = 0;                             // tool-bar picture (0: no button)
    const char* hint = "";                      // status-bar hint of the tool-bar button
    bool (*enabler)(const Program&) = nullptr;  // none: always enabled
    bool (*checker)(const Program&) = nullptr;  // menu check mark; none: never checked
};

struct Command {
    Cmd id{};
    std::string name;
    std::string menu_text;
    std::string keys;
    int bitmap = 0;
    std::string hint;
    CommandHandler handler;  // empty: not available in this build
    CommandEnabler enabler;  // empty: always enabled
    CommandEnabler checker;  // empty: never checked
};

struct Accelerator {
    std::string keys;  // "Ctrl+Z", "Alt+X"
    Cmd id;
};

enum class DispatchResult { Done, Disabled, NotAvailable, UnknownId };

class CommandTable {
  public:
    // Adds a subsystem's rows. An id given twice is kept once and listed by repeated_ids().
    void add(std::span<const CommandRow> rows);
    // Replaces the handler (and enabler) of a command: a front end's own way of doing it.
    void attach(Cmd id, CommandHandler handler, CommandEnabler enabler = {});
    const Command* find(Cmd id) const;
    Command* find(Cmd id);
    bool enabled(const Program& p, Cmd id) const;
    bool checked(const Program& p, Cmd id) const;
    bool available(Cmd id) const;
    // A command no menu, tool-bar button or key sends: windows and dialogs send it.
    bool internal(Cmd id) const;
    // Runs the command. Never silent: a command without handler is reported by the caller.
    DispatchResult dispatch(Program& p, Cmd id);
    std::vector<Cmd> ids() const;
    // The keys of every command that has one, in id order.
    std::vector<Accelerator> accelerators() const;
    const std::vector<Cmd>& repeated_ids() const { return repeated_; }

  private:
    std::map<Cmd, Command> commands_;
    std::vector<Cmd> repeated_;
};

// "command 27 (guider_control) is not available in this build", for a command without handler
// or an id the table does not know.
std::string not_available_text(const CommandTable& table, int id);

// Sends a window command as the main window would receive it; one without handler is reported.
void send_window_command(Program& p, Cmd id);

}  // namespace kvr
