#include "gui/press_watch.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>
#include <QWindow>

namespace kvr::gui {

namespace {

bool is_press(const QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:  // an accelerator key never reaches KeyPress
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto b = static_cast<const QMouseEvent*>(event)->button();
            return b == Qt::LeftButton || b == Qt::RightButton;
        }
        default:
            return false;
    }
}

void note_press(const QEvent* event, Presses& seen) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        seen.key = true;
        return;
    }
    const auto b = static_cast<const QMouseEvent*>(event)->button();
    if (b == Qt::LeftButton) seen.left = true;
    if (b == Qt::RightButton) seen.right = true;
}

// A text field or something holding one (a spin box's line edit, a text view's viewport).
bool in_edit_field(const QWidget* w) {
    for (; w && !w->isWindow(); w = w->parentWidget()) {
        if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
            qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w))
            return true;
        if (auto* c = qobject_cast<const QComboBox*>(w); c && c->isEditable()) return true;
    }
    return false;
}

}  // namespace

PressWatch::PressWatch(QObject* parent) : QObject(parent) {}

PressWatch::~PressWatch() = default;

bool PressWatch::counts(const QObject* receiver, const QEvent* event) const {
    // A window-system window hands the event on to its widget, where it is judged.
    if (!is_press(event) || qobject_cast<const QWindow*>(receiver)) return false;
    const auto* w = qobject_cast<const QWidget*>(receiver);
    // A key goes first to the focus widget of its window, then to its parents when the focus
    // widget leaves it alone (Escape in a field): it is the focus widget's key throughout.
    if (w && event->type() != QEvent::MouseButtonPress &&
        event->type() != QEvent::MouseButtonDblClick)
        if (QWidget* focus = w->window()->focusWidget()) w = focus;
    if (!w || !main_ || w->window() == main_) return true;
    return !in_edit_field(w);
}

void PressWatch::run_events(Mode mode) {
    // A pump nested in another keeps the outer pump's record and mode apart from its own.
    const Mode outer_mode = mode_;
    const int outer_modal = modal_depth_;
    mode_ = mode;
    modal_depth_ = 0;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    modal_depth_ = outer_modal;
    mode_ = outer_mode;
}

Presses PressWatch::pump() {
    // Presses that arrived before this pump (the click that started the operation) are old news:
    // only what this pump dispatches counts, and the presses a quiet wait held back.
    requeue_held();
    const Presses outer_pressed = pressed_;
    pressed_ = {};
    pressed_.other = held_stop_;
    held_stop_ = false;
    run_events(Mode::Pump);
    const Presses seen = pressed_;
    pressed_ = outer_pressed;
    return seen;
}

void PressWatch::keep_alive() {
    run_events(Mode::Hold);
    // Only a pump that is not itself holding delivers them.
    if (mode_ != Mode::Hold) requeue_held();
}

void PressWatch::requeue_held() {
    for (HeldEvent& h : held_)
        if (h.receiver) QCoreApplication::postEvent(h.receiver, h.event.release());
    held_.clear();
}

void PressWatch::note_stop() {
    if (mode_ == Mode::Pump) pressed_.other = true;
    if (mode_ == Mode::Hold) held_stop_ = true;
}

bool PressWatch::in_main_window(const QObject* receiver) const {
    const auto* w = qobject_cast<const QWidget*>(receiver);
    return w && main_ && w->window() == main_;
}

bool PressWatch::eventFilter(QObject* watched, QEvent* event) {
    if (mode_ == Mode::Hold && modal_depth_ == 0) return hold(watched, event);
    if (mode_ == Mode::Pump && modal_depth_ == 0 && counts(watched, event))
        note_press(event, pressed_);
    return false;  // always deliver
}

bool PressWatch::hold(QObject* watched, QEvent* event) {
    // Only the main window's input waits: there every press stops the loop, and a press is held
    // with its release so that the window later sees both in order. Other windows go on working.
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // The key comes back as a KeyPress: no accelerator fires for it now.
            if (!in_main_window(watched)) return false;
            event->accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
            if (!in_main_window(watched)) return false;
            held_.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
            return true;
        default:
            return false;
    }
}

}  // namespace kvr::gui
