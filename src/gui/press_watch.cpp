#include "gui/press_watch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace kvr::gui {

namespace {

void note_press(const QEvent* event, Presses& seen) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:  // an accelerator key never reaches KeyPress
            seen.key = true;
            return;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto b = static_cast<const QMouseEvent*>(event)->button();
            if (b == Qt::LeftButton) seen.left = true;
            if (b == Qt::RightButton) seen.right = true;
            return;
        }
        default:
            return;
    }
}

}  // namespace

Presses PressWatch::pump() {
    // Presses that arrived before this pump (the click that started the operation) are old news:
    // only what this pump dispatches counts.
    // A pump nested in another keeps the outer pump's record apart from its own.
    const Presses outer_pressed = pressed_;
    const int outer_modal = modal_depth_;
    modal_depth_ = 0;
    pressed_ = {};
    ++pump_depth_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --pump_depth_;
    modal_depth_ = outer_modal;
    const Presses seen = pressed_;
    pressed_ = outer_pressed;
    return seen;
}

bool PressWatch::eventFilter(QObject* watched, QEvent* event) {
    (void)watched;
    if (pump_depth_ > 0 && modal_depth_ == 0) note_press(event, pressed_);
    return false;  // always deliver
}

}  // namespace kvr::gui
