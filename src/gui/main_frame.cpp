#include "gui/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/command_layout.h"
#include "core/program.h"
#include "gui/image_view.h"
#include "gui/press_watch.h"
#include "gui/qt_host.h"
#include "gui/tool_icons.h"

namespace kvr::gui {

namespace {

constexpr QSize kFrameSize{750, 500};
// Enablers are asked again this often, as the original asked them while idle.
constexpr int kRefreshMs = 250;
constexpr int kStatusMessageMs = 8000;
// Alt+X in either case.
constexpr const char* kExitShiftedKeys = "Alt+Shift+X";

}  // namespace

MainFrame::MainFrame(Program& p, QtHost& host)
    : p_(p),
      host_(host),
      image_(new ImageView(p, this)),
      hints_(new QStatusBar),
      pointer_(new QLabel) {
    setObjectName(QStringLiteral("frame"));
    setWindowIcon(tool_icon(1000));
    hints_->setObjectName(QStringLiteral("hints"));
    hints_->setSizeGripEnabled(false);
    pointer_->setObjectName(QStringLiteral("pointer"));
    hints_->addPermanentWidget(pointer_);
    place_status_bar();
    build_menus();
    build_tool_bar();
    build_shortcuts();
    refresh_commands();
    move(0, 0);
    resize(kFrameSize);

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainFrame::refresh_commands);
    timer->start(kRefreshMs);
}

void MainFrame::place_status_bar() {
    // The hints sit above the image when `ToolHelpPosTop` is set, else below it.
    auto* client = new QWidget;
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (p_.shell.ToolHelpPosTop) column->addWidget(hints_);
    column->addWidget(image_, 1);
    if (!p_.shell.ToolHelpPosTop) column->addWidget(hints_);
    setCentralWidget(client);
}

QAction* MainFrame::command_action(Cmd id, const QString& text) {
    auto* a = new QAction(text, this);
    a->setData(id_of(id));
    if (const Command* c = p_.commands.find(id); c && !c->hint.empty())
        a->setStatusTip(QString::fromStdString(c->hint));
    connect(a, &QAction::triggered, this, [this, id] { run_command(id); });
    return a;
}

void MainFrame::add_menu_item(QMenu& menu, Cmd id) {
    const Command* c = p_.commands.find(id);
    QAction* a = command_action(id, c ? QString::fromStdString(c->menu_text) : QString());
    a->setCheckable(c && c->checker);
    menu.addAction(a);
    menu_actions_.emplace(id, a);
}

void MainFrame::build_menus() {
    for (const MenuLayout& m : menu_layout()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.title));
        connect(menu, &QMenu::aboutToShow, this, &MainFrame::refresh_commands);
        for (const std::optional<Cmd>& item : m.items) {
            if (item)
                add_menu_item(*menu, *item);
            else
                menu->addSeparator();
        }
    }
}

void MainFrame::build_tool_bar() {
    tools_ = new QToolBar(QStringLiteral("Tools"), this);
    tools_->setObjectName(QStringLiteral("tools"));
    tools_->setMovable(false);
    tools_->setIconSize(QSize(kToolIconSize, kToolIconSize));
    for (const ToolItem& item : tool_bar_layout()) {
        if (!item.command) {
            auto* gap = new QWidget;
            gap->setFixedWidth(item.gap);
            tools_->addWidget(gap);
            continue;
        }
        const Command* c = p_.commands.find(*item.command);
        QAction* a = command_action(*item.command, QString());
        a->setIcon(tool_icon(c ? c->bitmap : 0));
        a->setToolTip(a->statusTip());
        tools_->addAction(a);
        tool_actions_[*item.command] = a;
    }
    addToolBar(Qt::TopToolBarArea, tools_);
}

void MainFrame::build_shortcuts() {
    auto add = [this](const std::string& keys, Cmd id) {
        auto* s = new QShortcut(QKeySequence(QString::fromStdString(keys)), this);
        connect(s, &QShortcut::activated, this, [this, id] { run_command(id); });
    };
    for (const Accelerator& acc : p_.commands.accelerators()) add(acc.keys, acc.id);
    add(kExitShiftedKeys, Cmd::Exit);
}

QAction* MainFrame::menu_action(Cmd id) const {
    auto it = menu_actions_.find(id);
    return it == menu_actions_.end() ? nullptr : it->second;
}

QAction* MainFrame::tool_action(Cmd id) const {
    auto it = tool_actions_.find(id);
    return it == tool_actions_.end() ? nullptr : it->second;
}

void MainFrame::run_command(Cmd id) {
    const DispatchResult result = p_.commands.dispatch(p_, id);
    if (result == DispatchResult::NotAvailable || result == DispatchResult::UnknownId)
        show_status(QString::fromStdString(not_available_text(p_.commands, id_of(id))));
    if (p_.exit_requested) {
        close();
        return;
    }
    refresh_commands();
}

void MainFrame::refresh_commands() {
    for (const auto& [id, a] : menu_actions_) {
        a->setEnabled(p_.commands.enabled(p_, id));
        if (a->isCheckable()) a->setChecked(p_.commands.checked(p_, id));
    }
    for (const auto& [id, a] : tool_actions_) a->setEnabled(p_.commands.enabled(p_, id));
    // The display-stretch button that undoes the current state is on the bar.
    const int stretch_button = p_.display.max_stretch_button;
    tool_actions_.at(Cmd::MaxStretchOn)->setVisible(stretch_button == kMaxStretchOnButton);
    tool_actions_.at(Cmd::MaxStretchOff)->setVisible(stretch_button == kMaxStretchOffButton);
    tool_actions_.at(Cmd::TelescopeControl)->setVisible(p_.scope.telescope != 'n');
}

void MainFrame::repaint_image() {
    image_->sync_from_core();
}

void MainFrame::show_status(const QString& text) {
    hints_->showMessage(text, kStatusMessageMs);
}

void MainFrame::show_pointer(const QString& text) {
    pointer_->setText(text);
}

bool MainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        hints_->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void MainFrame::closeEvent(QCloseEvent* event) {
    // Closing the window is Exit: the camera link is closed first. A loop still running below
    // us sees the close as a stop.
    if (!p_.exit_requested) p_.commands.dispatch(p_, Cmd::Exit);
    host_.press_watch().note_stop();
    event->accept();
}

}  // namespace kvr::gui
