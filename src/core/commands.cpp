#include "core/commands.h"

namespace kvr {

Command& CommandTable::declare(int id, std::string name, std::string menu_text) {
    Command& c = commands_[id];
    c.id = id;
    c.name = std::move(name);
    if (!menu_text.empty()) c.menu_text = std::move(menu_text);
    return c;
}

void CommandTable::attach(int id, CommandHandler handler, CommandEnabler enabler) {
    Command& c = commands_[id];
    c.id = id;
    c.handler = std::move(handler);
    c.enabler = std::move(enabler);
}

const Command* CommandTable::find(int id) const {
    auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : &it->second;
}

Command* CommandTable::find(int id) {
    auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : &it->second;
}

bool CommandTable::available(int id) const {
    const Command* c = find(id);
    return c && c->handler;
}

bool CommandTable::enabled(const Program& p, int id) const {
    const Command* c = find(id);
    if (!c || !c->handler) return false;
    return !c->enabler || c->enabler(p);
}

void CommandTable::set_checker(int id, CommandEnabler checker) {
    Command& c = commands_[id];
    c.id = id;
    c.checker = std::move(checker);
}

bool CommandTable::checked(const Program& p, int id) const {
    const Command* c = find(id);
    return c && c->checker && c->checker(p);
}

DispatchResult CommandTable::dispatch(Program& p, int id) {
    Command* c = find(id);
    if (!c) return DispatchResult::UnknownId;
    if (!c->handler) return DispatchResult::NotAvailable;
    if (c->enabler && !c->enabler(p)) return DispatchResult::Disabled;
    // Copy: a handler may re-attach commands (tool-bar swaps) while it runs.
    CommandHandler h = c->handler;
    h(p);
    return DispatchResult::Done;
}

std::vector<int> CommandTable::ids() const {
    std::vector<int> out;
    for (const auto& [id, c] : commands_) out.push_back(id);
    return out;
}

}  // namespace kvr
