#pragma once
// Where the window commands appear: the main window's menus in order and its tool bar. Texts,
// keys, pictures and hints come from the commands' rows (core/commands.h).
#include <optional>
#include <span>

#include "core/command_ids.h"

namespace kvr {

struct MenuLayout {
    const char* title;
    // Commands top to bottom; an empty entry is a separator.
    std::span<const std::optional<Cmd>> items;
};

// The menu bar, left to right.
std::span<const MenuLayout> menu_layout();

struct ToolItem {
    std::optional<Cmd> command = std::nullopt;  // none: a gap of `gap` pixels
    int gap = 0;
};

// The tool bar, left to right. Both max-stretch buttons are listed; one of them shows.
std::span<const ToolItem> tool_bar_layout();

}  // namespace kvr
