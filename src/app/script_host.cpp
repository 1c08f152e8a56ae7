#include "app/script_host.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "core/display_state.h"

extern char** environ;

namespace kvr {

std::string escape_line_breaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

void ScriptHost::print_line(std::string_view prefix, std::string_view text) {
    out_ << prefix << escape_line_breaks(text) << '\n';
    out_.flush();
}

void ScriptHost::queue_press(uint32_t at_ms, Press press) {
    keys_.push_back({at_ms, press});
    if (virtual_clock_) virtual_clock_->schedule_wakeup(at_ms);
}

int ScriptHost::message_box(const MessageBox& box) {
    if (box.code >= 0) ++numbered_messages_;
    if (box.code >= 0)
        print_line("message " + std::to_string(box.code) + ": ", box.text);
    else
        print_line("box " + box.caption + ": ", box.text);
    const bool yes_no = box.buttons == BoxButtons::YesNo || box.buttons == BoxButtons::YesNoCancel;
    int answer = kIdOk;
    if (!answers_.empty()) {
        answer = answers_.front().value;
        answers_.pop_front();
    }
    if (box.buttons == BoxButtons::Ok) return kIdOk;
    if (yes_no) {
        if (answer == kIdOk) return kIdYes;
        if (answer == kIdCancel) return box.buttons == BoxButtons::YesNo ? kIdNo : kIdCancel;
        return answer;
    }
    return answer == kIdCancel || answer == kIdNo ? kIdCancel : kIdOk;
}

void ScriptHost::progress_open(std::string_view title) {
    if (show_progress_) print_line("progress: ", title);
}

void ScriptHost::progress_update(int, const std::string* new_title) {
    if (show_progress_ && new_title) print_line("progress: ", *new_title);
}

void ScriptHost::progress_close() {
    if (show_progress_) print_line("progress closed", "");
}

void ScriptHost::info_open(std::string_view caption) {
    if (show_progress_) print_line("info: ", caption);
}

void ScriptHost::info_update(const InfoWindowView& v) {
    if (show_progress_)
        print_line("info: ", "x " + v.fields[0] + " y " + v.fields[1] + " dx " + v.fields[2] +
                                 " dy " + v.fields[3]);
}

void ScriptHost::info_close() {
    if (show_progress_) print_line("info closed", "");
}

Presses ScriptHost::pump() {
    const uint32_t now = clock_.ms();
    Presses seen;
    std::erase_if(keys_, [now, &seen](const TimedPress& t) {
        if (static_cast<int32_t>(now - t.at_ms) < 0) return false;
        (t.press == Press::Key ? seen.key : t.press == Press::Left ? seen.left : seen.right) = true;
        return true;
    });
    return seen;
}

void ScriptHost::apply(DialogModel& dialog, const ControlEvent& e) {
    dialog.handle(e);
    refresh_dialog(dialog);
}

void ScriptHost::queue_dialog_actions(int resource, const std::vector<ControlEvent>& events) {
    auto open = modeless_.find(resource);
    if (open == modeless_.end()) {
        auto& q = dialog_actions_[resource];
        for (const auto& e : events) q.push_back({e, line_});
        return;
    }
    DialogModel* d = open->second;
    for (const auto& e : events) {
        apply(*d, e);
        if (d->ended()) {
            close_modeless(*d);
            break;
        }
    }
}

int ScriptHost::run_modal(DialogModel& dialog) {
    const int res = dialog.resource().id;
    print_line("dialog " + std::to_string(res) + " opened: ", dialog.caption());
    // A modal dialog opened from inside another one's handler hands the caption back after it.
    DialogModel* const outer = modal_;
    const std::string outer_caption = modal_caption_;
    modal_ = &dialog;
    modal_caption_ = dialog.caption();
    dialog.init();
    auto& queued = dialog_actions_[res];
    while (!dialog.ended() && !queued.empty()) {
        ControlEvent e = queued.front().value;
        queued.pop_front();
        apply(dialog, e);
    }
    if (!dialog.ended()) {
        print_line("dialog " + std::to_string(res) + " cancelled", "");
        ControlEvent cancel;
        cancel.id = kIdcCancel;
        dialog.handle(cancel);
        if (!dialog.ended()) dialog.end(kIdCancel);
    }
    print_line("dialog " + std::to_string(res) + " closed: ", std::to_string(dialog.result()));
    modal_ = outer;
    modal_caption_ = outer_caption;
    return dialog.result();
}

void ScriptHost::discard_queued_input() {
    answers_.clear();
    files_.clear();
    keys_.clear();
    dialog_actions_.clear();
}

std::vector<std::string> ScriptHost::unconsumed_input() const {
    std::map<int, std::string> by_line;  // ordered by line; one report per line
    for (const auto& u : unusable_) by_line.emplace(u.line, u.value);
    for (const auto& a : answers_) by_line.emplace(a.line, "answer not taken by any message box");
    for (const auto& f : files_) by_line.emplace(f.line, "file not taken by any file dialog");
    for (const auto& [res, queued] : dialog_actions_)
        for (const auto& q : queued)
            by_line.emplace(q.line, "dialog " + std::to_string(res) + " actions not taken");
    std::vector<std::string> out;
    for (const auto& [line, text] : by_line)
        out.push_back("script line " + std::to_string(line) + ": " + text);
    return out;
}

void ScriptHost::open_modeless(DialogModel& dialog) {
    const int res = dialog.resource().id;
    dialog.reopen();
    modeless_[res] = &dialog;
    captions_[res] = dialog.caption();
    print_line("dialog " + std::to_string(res) + " opened: ", captions_[res]);
    dialog.init();
    auto queued = std::move(dialog_actions_[res]);
    dialog_actions_.erase(res);
    std::vector<ControlEvent> events;
    for (auto& q : queued) events.push_back(std::move(q.value));
    queue_dialog_actions(res, events);
}

void ScriptHost::close_modeless(DialogModel& dialog) {
    const int res = dialog.resource().id;
    auto it = modeless_.find(res);
    if (it == modeless_.end() || it->second != &dialog) return;
    modeless_.erase(it);
    print_line("dialog " + std::to_string(res) + " closed", "");
}

void ScriptHost::refresh_dialog(DialogModel& dialog) {
    const int res = dialog.resource().id;
    if (&dialog == modal_) {
        const std::string caption = dialog.caption();
        if (caption == modal_caption_) return;
        modal_caption_ = caption;
        print_line("dialog " + std::to_string(res) + " caption: ", caption);
        return;
    }
    auto open = modeless_.find(res);
    if (open == modeless_.end() || open->second != &dialog) return;
    std::string caption = dialog.caption();
    if (caption == captions_[res]) return;
    captions_[res] = caption;
    print_line("dialog " + std::to_string(res) + " caption: ", caption);
}

std::optional<FileDialogResult> ScriptHost::file_dialog(const FileDialogRequest& request) {
    std::optional<std::string> answer;
    if (!files_.empty()) {
        answer = files_.front().value;
        files_.pop_front();
    }
    const std::string kind = request.save ? "save" : "open";
    if (!answer) {
        print_line("file dialog " + kind + " cancelled: ", request.title);
        return std::nullopt;
    }
    print_line("file dialog " + kind + ": ", *answer);
    FileDialogResult r;
    r.path = *answer;
    r.filter_index = request.filter_index;
    return r;
}

void ScriptHost::set_caption(std::string_view caption) {
    print_line("caption: ", caption);
}

bool ScriptHost::copy_image(const DisplayBitmap& picture) {
    print_line("clipboard: ",
               std::to_string(picture.width) + " x " + std::to_string(picture.height));
    return true;
}

bool ScriptHost::start_program(std::string_view command_line) {
    print_line("start: ", command_line);
    const std::string cmd(command_line);
    const char* argv[] = {"sh", "-c", cmd.c_str(), nullptr};
    pid_t pid = 0;
    return posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) == 0;
}

bool ScriptHost::show_help() {
    std::error_code ec;
    if (help_path_.empty() || !std::filesystem::exists(help_path_, ec)) return false;
    print_line("help: ", help_path_);
    return true;
}

void ScriptHost::diagnostic(std::string_view text) {
    print_line("diagnostic: ", text);
}

}  // namespace kvr
