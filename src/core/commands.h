#pragma once
// The window command table: every menu item, accelerator and tool-bar button sends a numeric
// command id; both front ends dispatch through this one table.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kvr {

struct Program;

using CommandHandler = std::function<void(Program&)>;
// Mouse events on the main image, in window coordinates.
using MouseHandler = std::function<void(Program&, int x, int y)>;
struct MouseHandlers {
    MouseHandler left_up, right_up, move;
};
using CommandEnabler = std::function<bool(const Program&)>;

struct Command {
    int id = 0;
    std::string name;        // handler name, e.g. "KV_Control"
    std::string menu_text;   // menu caption with '&' mnemonic, tab and shortcut text
    std::string hint;        // status-bar hint of its tool-bar button
    CommandHandler handler;  // empty until the feature is built
    CommandEnabler enabler;  // empty: always enabled
    CommandEnabler checker;  // menu check mark; empty: never checked
};

struct Accelerator {
    std::string keys;  // "Ctrl+Z", "Alt+X"
    int id;
};

struct MenuEntry {
    int id = 0;  // 0 for a separator
    std::string text;
};

struct Menu {
    std::string title;
    std::vector<MenuEntry> items;
};

enum class DispatchResult { Done, Disabled, NotAvailable, UnknownId };

class CommandTable {
  public:
    // Declares a command (id, name, menu text). Redeclaring an id updates its texts.
    Command& declare(int id, std::string name, std::string menu_text = {});
    // Attaches the handler (and optional enabler) of a declared or new command.
    void attach(int id, CommandHandler handler, CommandEnabler enabler = {});
    const Command* find(int id) const;
    Command* find(int id);
    bool enabled(const Program& p, int id) const;
    // Sets the predicate of a command's menu check mark.
    void set_checker(int id, CommandEnabler checker);
    bool checked(const Program& p, int id) const;
    bool available(int id) const;
    // Runs the command. Never silent: a command without handler is reported by the caller.
    DispatchResult dispatch(Program& p, int id);
    std::vector<int> ids() const;

    std::vector<Menu> menus;
    std::vector<Accelerator> accelerators;

  private:
    std::map<int, Command> commands_;
};

// Declares every command of the main window with its menu texts, the "&File" menu, the
// accelerators and the tool-bar hints. Handlers are attached by each subsystem.
void declare_window_commands(CommandTable& table);

}  // namespace kvr
