#pragma once
// The Host of the Qt front end: real message boxes, progress and guiding information windows,
// resource-driven dialogs, file dialogs and the event pump of the core's polling loops.
#include <QPointer>
#include <map>
#include <string>

#include "core/host.h"

class QWidget;

namespace kvr::gui {

class MainFrame;
class PressWatch;
class ProgressWindow;
class InfoWindow;
class HelpViewer;
class ResourceDialog;

class QtHost : public Host {
  public:
    QtHost(PressWatch& watch, std::string help_path);
    ~QtHost() override;

    // The main frame: windows opened from now on belong to it, captions and repaints go to it.
    void attach(MainFrame* frame);
    PressWatch& press_watch() { return watch_; }
    const std::string& caption() const { return caption_; }
    // The open window of a dialog model (modal or modeless), or nullptr.
    ResourceDialog* dialog_window(const DialogModel& model) const;
    ProgressWindow* progress_window() const;
    InfoWindow* info_window() const;
    HelpViewer* help_viewer() const;

    int message_box(const MessageBox& box) override;
    void progress_open(std::string_view title) override;
    void progress_update(int position, const std::string* new_title) override;
    void progress_close() override;
    void info_open(std::string_view caption) override;
    void info_update(const InfoWindowView& view) override;
    void info_close() override;
    Presses pump() override;
    void keep_alive() override;
    void show_status(std::string_view text) override;
    void show_pointer(std::string_view text) override;
    int run_modal(DialogModel& dialog) override;
    void open_modeless(DialogModel& dialog) override;
    void close_modeless(DialogModel& dialog) override;
    void refresh_dialog(DialogModel& dialog) override;
    std::optional<FileDialogResult> file_dialog(const FileDialogRequest& request) override;
    void repaint() override;
    void set_caption(std::string_view caption) override;
    void beep() override;
    void set_wait_cursor(bool busy) override;
    bool copy_image(const DisplayBitmap& picture) override;
    bool start_program(std::string_view command_line) override;
    bool show_help() override;
    void diagnostic(std::string_view text) override;

  private:
    // Parent of a new window: the innermost modal window, else the main frame.
    QWidget* window_parent() const;
    // A modeless window just shown: beside the image, within the screen.
    void place_window(QWidget& window) const;
    // Drops the entry of `model` if it still names `dialog` (nullptr: a window already gone).
    void forget(const DialogModel* model, const QObject* window);

    PressWatch& watch_;
    std::string help_path_;
    QPointer<MainFrame> frame_;
    std::string caption_;
    // Windows of the main frame (Qt deletes them with it).
    QPointer<ProgressWindow> progress_;
    QPointer<InfoWindow> info_;
    QPointer<HelpViewer> help_;
    // Held as QObjects: a window being destroyed is no longer a ResourceDialog, and its entry is
    // looked up then.
    std::map<const DialogModel*, QPointer<QObject>> dialogs_;
    int wait_cursor_depth_ = 0;
};

}  // namespace kvr::gui
