#pragma once
// The main frame: caption, menus built from the core's command table, accelerators, the tool
// bar, the status bar with the hints, and the image window as client.
#include <QMainWindow>
#include <map>

#include "core/command_ids.h"

class QLabel;
class QStatusBar;
class QToolBar;
class QAction;
class QMenu;

namespace kvr {
struct Program;
}

namespace kvr::gui {

class ImageView;
class QtHost;

class MainFrame : public QMainWindow {
    Q_OBJECT
  public:
    MainFrame(Program& p, QtHost& host);

    ImageView* image_view() const { return image_; }
    QStatusBar* hint_bar() const { return hints_; }
    QToolBar* tool_bar() const { return tools_; }
    // The menu item of command `id`, or nullptr.
    QAction* menu_action(Cmd id) const;
    // The tool-bar button of command `id`, or nullptr.
    QAction* tool_action(Cmd id) const;

    // Runs a window command as the menu does, reports a command that cannot run, and brings
    // the menus and tool bar up to date afterwards.
    void run_command(Cmd id);
    // Enabled states from the command enablers; the tool-bar buttons that come and go.
    void refresh_commands();
    void repaint_image();
    void show_status(const QString& text);
    // The pixel under the pointer, kept at the status bar's right end.
    void show_pointer(const QString& text);
    const QLabel* pointer_readout() const { return pointer_; }

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QAction* command_action(Cmd id, const QString& text);
    void add_menu_item(QMenu& menu, Cmd id);
    void build_menus();
    void build_tool_bar();
    void build_shortcuts();
    void place_status_bar();

    Program& p_;
    QtHost& host_;
    ImageView* image_;
    QStatusBar* hints_;
    QLabel* pointer_;
    QToolBar* tools_ = nullptr;
    std::map<Cmd, QAction*> menu_actions_;
    std::map<Cmd, QAction*> tool_actions_;
};

}  // namespace kvr::gui
