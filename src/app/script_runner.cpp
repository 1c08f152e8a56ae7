#include "app/script_runner.h"

#include <charconv>
#include <sstream>

#include "app/script_host.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/waits.h"
#include "guiding/training.h"

namespace kvr {

namespace {

std::vector<std::string> split_words(const std::string& s) {
    std::vector<std::string> words;
    std::istringstream in(s);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::pair<std::string, std::string> split_first(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_first_of(" \t", b);
    if (e == std::string::npos) return {s.substr(b), {}};
    size_t r = s.find_first_not_of(" \t", e);
    std::string rest = r == std::string::npos ? std::string() : s.substr(r);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' ' || rest.back() == '\t'))
        rest.pop_back();
    return {s.substr(b, e - b), rest};
}

template <typename T>
bool to_number(const std::string& s, T& out) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

bool parse_dialog_actions(const std::vector<std::string>& w, std::vector<ControlEvent>& out,
                          std::string& error) {
    for (size_t i = 0; i < w.size();) {
        const std::string& verb = w[i];
        ControlEvent e;
        if (i + 1 >= w.size() || !to_number(w[i + 1], e.id)) {
            error = "dialog action '" + verb + "' needs a control id";
            return false;
        }
        i += 2;
        if (verb == "click") {
            e.kind = ControlEvent::Kind::Click;
        } else if (verb == "toggle") {
            e.kind = ControlEvent::Kind::Toggle;
        } else if (verb == "edit") {
            e.kind = ControlEvent::Kind::TextEdited;
            if (i >= w.size()) {
                error = "edit needs a text (use \"\" for an empty one)";
                return false;
            }
            e.text = w[i++] == "\"\"" ? std::string() : w[i - 1];
        } else if (verb == "scroll") {
            e.kind = ControlEvent::Kind::Scroll;
            if (i >= w.size()) {
                error = "scroll needs lineup, linedown, pageup, pagedown, thumb N or end";
                return false;
            }
            const std::string& code = w[i++];
            if (code == "lineup")
                e.scroll = ScrollCode::LineUp;
            else if (code == "linedown")
                e.scroll = ScrollCode::LineDown;
            else if (code == "pageup")
                e.scroll = ScrollCode::PageUp;
            else if (code == "pagedown")
                e.scroll = ScrollCode::PageDown;
            else if (code == "end")
                e.scroll = ScrollCode::EndScroll;
            else if (code == "thumb") {
                e.scroll = ScrollCode::ThumbPosition;
                if (i >= w.size() || !to_number(w[i], e.position)) {
                    error = "scroll thumb needs a position";
                    return false;
                }
                ++i;
            } else {
                error = "unknown scroll code '" + code + "'";
                return false;
            }
        } else if (verb == "mouse") {
            e.kind = ControlEvent::Kind::Mouse;
            if (i + 1 >= w.size() || !to_number(w[i], e.x) || !to_number(w[i + 1], e.y)) {
                error = "mouse needs X Y";
                return false;
            }
            i += 2;
            e.button = 1;
            if (i < w.size() && (w[i] == "left" || w[i] == "right" || w[i] == "move")) {
                e.button = w[i] == "left" ? 1 : w[i] == "right" ? 2 : 0;
                ++i;
            }
        } else {
            error = "unknown dialog action '" + verb + "'";
            return false;
        }
        out.push_back(std::move(e));
    }
    return true;
}

std::optional<ScriptError> ScriptRunner::run(std::istream& in) {
    start_ms_ = p_.clock.ms();
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        host_.set_script_line(n);
        std::string error;
        if (!run_line(line, error)) return ScriptError{n, error};
        if (p_.exit_requested) break;
    }
    return std::nullopt;
}

bool ScriptRunner::run_line(const std::string& line, std::string& error) {
    auto [verb, rest] = split_first(line);
    if (verb.empty() || verb[0] == '#') return true;
    if (verb == "set") return verb_set(rest, error);
    if (verb == "get") return verb_get(rest, error);
    if (verb == "command") return verb_command(rest, error);
    if (verb == "dialog") return verb_dialog(rest, error);
    if (verb == "answer") {
        if (rest == "ok" || rest == "yes")
            host_.queue_answer(kIdOk);
        else if (rest == "cancel" || rest == "no")
            host_.queue_answer(kIdCancel);
        else {
            error = "answer must be ok or cancel";
            return false;
        }
        return true;
    }
    if (verb == "file") {
        if (rest.empty()) {
            error = "file needs a path or cancel";
            return false;
        }
        host_.queue_file(rest == "cancel" ? std::nullopt : std::optional<std::string>(rest));
        return true;
    }
    if (verb == "key") return verb_key(rest, error);
    if (verb == "mouse" || verb == "move") return verb_mouse(verb, rest, error);
    if (verb == "wait") return verb_wait(rest, error);
    if (verb == "echo") {
        out_ << rest << '\n';
        return true;
    }
    // The guider dialog's two training buttons.
    if (verb == "train" && (rest == "guider" || rest == "ao")) {
        TrainingView view;
        view.caption = [this](std::string_view caption) { out_ << "caption: " << caption << '\n'; };
        if (rest == "guider")
            guider_train(p_, view);
        else
            ao_train(p_, view);
        return true;
    }
    if (verb == "train") {
        error = "train needs guider or ao";
        return false;
    }
    error = "unknown command '" + verb + "'";
    return false;
}

bool ScriptRunner::verb_set(const std::string& rest, std::string& error) {
    auto [name, value] = split_first(rest);
    if (name.empty()) {
        error = "set needs a name and a value";
        return false;
    }
    SetResult r = p_.registry.set(name, value);
    if (r != SetResult::Ok) {
        error = std::string(set_result_text(r)) + ": " + name;
        return false;
    }
    return true;
}

bool ScriptRunner::verb_get(const std::string& rest, std::string& error) {
    std::string value;
    if (rest.empty() || !p_.registry.get(rest, value)) {
        error = "unknown variable: " + rest;
        return false;
    }
    out_ << rest << " = " << escape_line_breaks(value) << '\n';
    return true;
}

bool ScriptRunner::verb_command(const std::string& rest, std::string& error) {
    int id = 0;
    if (!to_number(rest, id)) {
        error = "command needs a numeric id";
        return false;
    }
    const Cmd cmd = static_cast<Cmd>(id);
    const Command* c = p_.commands.find(cmd);
    switch (p_.commands.dispatch(p_, cmd)) {
        case DispatchResult::Done:
            return true;
        case DispatchResult::UnknownId:
            error = "unknown command id " + rest;
            return false;
        case DispatchResult::NotAvailable:
            p_.host.diagnostic(not_available_text(p_.commands, id));
            return true;
        case DispatchResult::Disabled:
            p_.host.diagnostic("command " + rest + " (" + c->name + ") is disabled now");
            return true;
    }
    return true;
}

bool ScriptRunner::verb_dialog(const std::string& rest, std::string& error) {
    std::vector<std::string> w = split_words(rest);
    int res = 0;
    if (w.empty() || !to_number(w[0], res)) {
        error = "dialog needs a resource number";
        return false;
    }
    std::vector<ControlEvent> events;
    if (!parse_dialog_actions({w.begin() + 1, w.end()}, events, error)) return false;
    // Resource ids are positive 16-bit numbers: no dialog could ever take such a line.
    constexpr int kMaxResourceId = 0xFFFF;
    if (res < 1 || res > kMaxResourceId) {
        host_.note_unusable_line("no dialog has resource id " + w[0]);
        return true;
    }
    host_.queue_dialog_actions(res, events);
    return true;
}

// A time given in a script line: `after_ms` after the script started.
uint32_t ScriptRunner::script_time(uint32_t after_ms) const {
    return start_ms_ + after_ms;
}

bool ScriptRunner::verb_key(const std::string& rest, std::string& error) {
    uint32_t at = p_.clock.ms();
    if (!rest.empty()) {
        uint32_t after = 0;
        if (!to_number(rest, after)) {
            error = "key needs a time in milliseconds";
            return false;
        }
        at = script_time(after);
    }
    host_.queue_press(at, ScriptHost::Press::Key);
    return true;
}

// `mouse left|right X Y` clicks the image now; with a time after it, the press is queued for the
// pump instead, as a running loop would see it.
bool ScriptRunner::verb_mouse(const std::string& verb, const std::string& rest,
                              std::string& error) {
    std::vector<std::string> w = split_words(rest);
    const bool move = verb == "move";
    const size_t need = move ? 2 : 3;
    int x = 0, y = 0;
    uint32_t after = 0;
    const bool timed = !move && w.size() == need + 1;
    if ((w.size() != need && !timed) || (!move && w[0] != "left" && w[0] != "right") ||
        !to_number(w[need - 2], x) || !to_number(w[need - 1], y) ||
        (timed && !to_number(w[need], after))) {
        error = move ? "move needs X Y" : "mouse needs left|right X Y [milliseconds]";
        return false;
    }
    if (timed) {
        host_.queue_press(script_time(after),
                          w[0] == "left" ? ScriptHost::Press::Left : ScriptHost::Press::Right);
        return true;
    }
    const MouseHandler& h =
        move ? p_.mouse.move : (w[0] == "left" ? p_.mouse.left_up : p_.mouse.right_up);
    if (!h) {
        p_.host.diagnostic("mouse interaction on the image is not available in this build");
        return true;
    }
    h(p_, x, y);
    return true;
}

bool ScriptRunner::verb_wait(const std::string& rest, std::string& error) {
    uint32_t duration = 0;
    if (!to_number(rest, duration)) {
        error = "wait needs milliseconds";
        return false;
    }
    uint32_t ticks = p_.clock.ms();
    uint32_t end = ticks + duration;
    WaitOptions o;
    o.presses = WaitPresses::Dropped;
    timed_wait(p_, ticks, end, o);
    return true;
}

}  // namespace kvr
