#pragma once
// Where the window commands appear in the Qt front end besides the core's own menus: the
// further menus with their captions, the tool bar, and the commands only windows send.
#include <vector>

#include "core/commands.h"
#include "core/display_state.h"

namespace kvr::gui {

struct MenuItemLayout {
    int id = 0;  // 0: separator
    const char* text = "";
};

struct MenuLayout {
    const char* title;
    std::vector<MenuItemLayout> items;
};

// Menus after the core's menus. An item's text is used when the core declares none.
const std::vector<MenuLayout>& further_menus();

struct ToolItem {
    int command = 0;  // 0: a gap of `gap` pixels
    int bitmap = 0;   // picture of the button (tool_icon)
    int gap = 0;
};

// The tool bar, left to right. Both max-stretch buttons are listed; one of them shows.
const std::vector<ToolItem>& tool_bar_layout();

inline constexpr int kCmdTelescopeControl = 24;
inline constexpr int kCmdCopy = 24359;
inline constexpr int kCmdExit = 24310;
inline constexpr int kCmdPrintSetup = 114;
inline constexpr int kCmdPrint = 116;

// Commands sent by windows and dialogs rather than chosen by the user.
bool is_internal_command(int id);

// Shortcuts of the Qt front end in addition to the core's accelerator table.
const std::vector<Accelerator>& extra_accelerators();

}  // namespace kvr::gui
