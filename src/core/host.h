#pragma once
// Everything the user sees or does goes through the Host. The Qt front end (QtHost) shows real
// windows; the headless front end (ScriptHost) prints and answers from a script. The core calls
// the Host only from its one thread.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

class DialogModel;
struct Canvas;
struct DisplayBitmap;

// Message box results, as the platform numbers them.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxIcon { None, Information, Warning, Stop, Question };

struct MessageBox {
    int code = -1;  // numbered message code, or -1 for any other box
    std::string caption;
    std::string text;
    BoxButtons buttons = BoxButtons::Ok;
    BoxIcon icon = BoxIcon::None;
};

struct FileDialogRequest {
    bool save = false;  // save dialog (else open)
    std::string title;
    // Filter pairs as the platform lists them: {"FITS Files (*.fts)", "*.fts"}, ...
    std::vector<std::pair<std::string, std::string>> filters;
    int filter_index = 1;  // 1-based selected filter
    std::string default_extension;
    std::string initial_dir;
    std::string initial_name;
};

struct FileDialogResult {
    std::string path;
    int filter_index = 1;
};

// Values shown by the guiding information window.
struct InfoWindowView {
    std::string caption;
    std::string fields[4];  // x, y, dx, dy
    bool has_frame = false;
    std::string frame_bitmap_path;  // scratch bitmap drawn at (75, 66)
    int cross_h[4] = {};            // horizontal line x0, y0, x1, y1 (window pixels)
    int cross_v[4] = {};            // vertical line
};

// What one pump of pending events saw.
struct Presses {
    bool key = false;
    bool left = false;   // left mouse button
    bool right = false;  // right mouse button
    bool other = false;  // something else that must end a running loop (the main window closing)
    explicit operator bool() const { return key || left || right || other; }
};

class Host {
  public:
    virtual ~Host() = default;

    // Modal message box; returns kIdOk, kIdCancel, kIdYes or kIdNo.
    virtual int message_box(const MessageBox& box) = 0;

    // Modeless progress window: bar 0 … 256.
    virtual void progress_open(std::string_view title) = 0;
    virtual void progress_update(int position, const std::string* new_title) = 0;
    virtual void progress_close() = 0;

    // Modeless guiding information window.
    virtual void info_open(std::string_view caption) = 0;
    virtual void info_update(const InfoWindowView& view) = 0;
    virtual void info_close() = 0;

    // Runs pending events and reports the key and left or right mouse-button presses among them
    // (the events themselves are still delivered).
    virtual Presses pump() = 0;
    // Runs pending events in a wait that does not pump: the windows repaint and take their own
    // input, but a press that would stop a loop stays queued for the next pump().
    virtual void keep_alive() {}
    // Says in the status line why a running loop ended.
    virtual void show_status(std::string_view text) { (void)text; }
    // The pixel under the pointer (position and value), shown beside the status line until the
    // next; empty when the pointer is off every image.
    virtual void show_pointer(std::string_view text) { (void)text; }

    // Runs a modal dialog until the model ends it; returns the model's result.
    virtual int run_modal(DialogModel& dialog) = 0;
    // Shows a modeless dialog; it stays open until the model ends it or close_modeless is called.
    virtual void open_modeless(DialogModel& dialog) = 0;
    virtual void close_modeless(DialogModel& dialog) = 0;
    // The model's state changed: re-render its controls.
    virtual void refresh_dialog(DialogModel& dialog) = 0;

    virtual std::optional<FileDialogResult> file_dialog(const FileDialogRequest& request) = 0;

    // The main window's image or caption changed.
    virtual void repaint() = 0;
    virtual void set_caption(std::string_view caption) = 0;
    virtual void beep() = 0;
    virtual void set_wait_cursor(bool busy) = 0;
    // Places a picture with its colour table on the clipboard, replacing what was there; false
    // when the clipboard could not be taken. A host without a clipboard keeps this default.
    virtual bool copy_image(const DisplayBitmap& picture) {
        (void)picture;
        return false;
    }
    // Starts a program without waiting; false when it could not be started.
    virtual bool start_program(std::string_view command_line) = 0;
    // Opens the help at its contents; false when no help viewer could be started.
    virtual bool show_help() = 0;
    // A diagnostic that is not one of the program's own message boxes (for example a command
    // that is not available in this build). The GUI shows it in the status bar; the script host
    // prints it.
    virtual void diagnostic(std::string_view text) = 0;
};

}  // namespace kvr
