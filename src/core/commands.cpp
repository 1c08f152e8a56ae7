#include "core/commands.h"

#include "core/program.h"

namespace kvr {

void CommandTable::add(std::span<const CommandRow> rows) {
    for (const CommandRow& row : rows) {
        auto [it, added] = commands_.try_emplace(row.id);
        if (!added) {
            repeated_.push_back(row.id);
            continue;
        }
        Command& c = it->second;
        c.id = row.id;
        c.name = row.name;
        c.menu_text = row.menu_text;
        c.keys = row.keys;
        c.bitmap = row.bitmap;
        c.hint = row.hint;
        if (row.handler) c.handler = row.handler;
        if (row.enabler) c.enabler = row.enabler;
        if (row.checker) c.checker = row.checker;
    }
}

void CommandTable::attach(Cmd id, CommandHandler handler, CommandEnabler enabler) {
    Command& c = commands_[id];
    c.id = id;
    c.handler = std::move(handler);
    c.enabler = std::move(enabler);
}

const Command* CommandTable::find(Cmd id) const {
    auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : &it->second;
}

Command* CommandTable::find(Cmd id) {
    auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : &it->second;
}

bool CommandTable::available(Cmd id) const {
    const Command* c = find(id);
    return c && c->handler;
}

bool CommandTable::internal(Cmd id) const {
    const Command* c = find(id);
    return c && c->menu_text.empty() && c->keys.empty() && c->bitmap == 0;
}

bool CommandTable::enabled(const Program& p, Cmd id) const {
    const Command* c = find(id);
    if (!c || !c->handler) return false;
    return !c->enabler || c->enabler(p);
}

bool CommandTable::checked(const Program& p, Cmd id) const {
    const Command* c = find(id);
    return c && c->checker && c->checker(p);
}

DispatchResult CommandTable::dispatch(Program& p, Cmd id) {
    Command* c = find(id);
    if (!c) return DispatchResult::UnknownId;
    if (!c->handler) return DispatchResult::NotAvailable;
    if (c->enabler && !c->enabler(p)) return DispatchResult::Disabled;
    // Copy: a handler may re-attach commands (tool-bar swaps) while it runs.
    CommandHandler h = c->handler;
    h(p);
    return DispatchResult::Done;
}

std::vector<Cmd> CommandTable::ids() const {
    std::vector<Cmd> out;
    for (const auto& [id, c] : commands_) out.push_back(id);
    return out;
}

std::vector<Accelerator> CommandTable::accelerators() const {
    std::vector<Accelerator> out;
    for (const auto& [id, c] : commands_)
        if (!c.keys.empty()) out.push_back({c.keys, id});
    return out;
}

std::string not_available_text(const CommandTable& table, int id) {
    const Command* c = table.find(static_cast<Cmd>(id));
    return "command " + std::to_string(id) + " (" + (c ? c->name : std::string()) +
           ") is not available in this build";
}

void send_window_command(Program& p, Cmd id) {
    if (p.commands.dispatch(p, id) == DispatchResult::NotAvailable)
        p.host.diagnostic(not_available_text(p.commands, id_of(id)));
}

}  // namespace kvr
