#pragma once
// The headless front end's Host: prints what a window would show and answers message boxes,
// dialogs and file dialogs from what the script queued.
#include <deque>
#include <map>
#include <ostream>
#include <vector>

#include "core/clock.h"
#include "core/dialog.h"
#include "core/host.h"

namespace kvr {

class ScriptHost : public Host {
  public:
    ScriptHost(std::ostream& out, Clock& clock, VirtualClock* virtual_clock)
        : out_(out), clock_(clock), virtual_clock_(virtual_clock) {}

    // What the script queues; each item remembers the script line that queued it.
    void set_script_line(int line) { line_ = line; }
    void queue_answer(int result) { answers_.push_back({result, line_}); }
    void queue_file(std::optional<std::string> path) { files_.push_back({std::move(path), line_}); }
    // A key press, or a left or right mouse-button press, at `at_ms` on the program's clock.
    enum class Press { Key, Left, Right };
    void queue_press(uint32_t at_ms, Press press);
    // Actions for the next opening of dialog `resource`, or at once when it is open (modeless).
    void queue_dialog_actions(int resource, const std::vector<ControlEvent>& events);
    // Drops every queued answer, file choice, key press and dialog action.
    void discard_queued_input();
    bool dialog_open(int resource) const { return modeless_.count(resource) != 0; }
    void set_show_progress(bool on) { show_progress_ = on; }
    // Presses (keys and mouse buttons) not yet consumed by a pump.
    size_t pending_keys() const { return keys_.size(); }
    // A script line that can never take effect, reported with the unconsumed input.
    void note_unusable_line(std::string text) { unusable_.push_back({std::move(text), line_}); }
    // One text per script line whose answers, file choices or dialog actions nothing took.
    std::vector<std::string> unconsumed_input() const;
    // Numbered message boxes shown so far.
    int numbered_messages() const { return numbered_messages_; }
    int beeps() const { return beeps_; }
    int repaints() const { return repaints_; }
    void set_help_path(std::string path) { help_path_ = std::move(path); }

    int message_box(const MessageBox& box) override;
    void progress_open(std::string_view title) override;
    void progress_update(int position, const std::string* new_title) override;
    void progress_close() override;
    void info_open(std::string_view caption) override;
    void info_update(const InfoWindowView& view) override;
    void info_close() override;
    Presses pump() override;
    int run_modal(DialogModel& dialog) override;
    void open_modeless(DialogModel& dialog) override;
    void close_modeless(DialogModel& dialog) override;
    void refresh_dialog(DialogModel& dialog) override;
    std::optional<FileDialogResult> file_dialog(const FileDialogRequest& request) override;
    void repaint() override { ++repaints_; }
    void set_caption(std::string_view caption) override;
    void beep() override { ++beeps_; }
    void set_wait_cursor(bool) override {}
    bool copy_image(const DisplayBitmap& picture) override;
    bool start_program(std::string_view command_line) override;
    bool show_help() override;
    void diagnostic(std::string_view text) override;

  private:
    void apply(DialogModel& dialog, const ControlEvent& e);
    void print_line(std::string_view prefix, std::string_view text);

    std::ostream& out_;
    Clock& clock_;
    VirtualClock* virtual_clock_;
    template <typename T>
    struct Queued {
        T value;
        int line = 0;
    };
    int line_ = 0;
    std::deque<Queued<int>> answers_;
    std::deque<Queued<std::optional<std::string>>> files_;
    std::vector<Queued<std::string>> unusable_;
    struct TimedPress {
        uint32_t at_ms;
        Press press;
    };
    std::vector<TimedPress> keys_;
    std::map<int, std::deque<Queued<ControlEvent>>> dialog_actions_;
    std::map<int, DialogModel*> modeless_;
    // The modal dialog running now and the caption it shows.
    DialogModel* modal_ = nullptr;
    std::string modal_caption_;
    // Caption each open modeless window shows, so that a change prints once.
    std::map<int, std::string> captions_;
    bool show_progress_ = false;
    int numbered_messages_ = 0;
    int beeps_ = 0;
    int repaints_ = 0;
    std::string help_path_;
};

// Line breaks as "\n" so every report stays on one line.
std::string escape_line_breaks(std::string_view text);

}  // namespace kvr
