#pragma once
// Application-wide event filter for the stop detection: while the core pumps events it records
// whether a key press or a left or right mouse-button press went by. The events are still
// delivered to their windows.
//
// Which presses count: any in the main window; in another window any but those on an edit field
// (typing a value into a measurement window is that window's input, not a stop).
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

#include "core/host.h"

class QWidget;

namespace kvr::gui {

class PressWatch : public QObject {
    Q_OBJECT
  public:
    explicit PressWatch(QObject* parent = nullptr);
    ~PressWatch() override;

    // The main window, where every press counts.
    void set_main_window(QWidget* window) { main_ = window; }
    // Runs pending events as the core's message pump does; reports the presses among them.
    // Presses handled by a nested modal loop (a message box opened from a command) belong to
    // that loop and are not reported.
    Presses pump();
    // Runs pending events in a wait that does not pump: the main window's key and mouse-button
    // input is taken out and put back in the queue afterwards, so the next pump() (or the main
    // loop) sees it; everything else, other windows' input included, is delivered.
    void keep_alive();
    // A modal loop starts or ends inside a pump: presses in it are not the pump's.
    void enter_modal() { ++modal_depth_; }
    void leave_modal() { --modal_depth_; }
    // Something other than a press must stop the running loop (the main window closing).
    void note_stop();
    // Whether `event` for `receiver` is a press that stops a running loop.
    bool counts(const QObject* receiver, const QEvent* event) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class Mode { Idle, Pump, Hold };
    struct HeldEvent {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    void run_events(Mode mode);
    bool in_main_window(const QObject* receiver) const;
    // keep_alive(): takes the main window's input out of the queue for later; true when held.
    bool hold(QObject* watched, QEvent* event);
    void requeue_held();

    QPointer<QWidget> main_;
    Mode mode_ = Mode::Idle;  // what the innermost pump running now does with presses
    int modal_depth_ = 0;
    Presses pressed_;
    bool held_stop_ = false;  // note_stop() during keep_alive(): for the next pump()
    std::vector<HeldEvent> held_;
};

// Holds PressWatch::enter_modal for the lifetime of a modal loop.
class ModalScope {
  public:
    explicit ModalScope(PressWatch& w) : w_(w) { w_.enter_modal(); }
    ~ModalScope() { w_.leave_modal(); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

  private:
    PressWatch& w_;
};

}  // namespace kvr::gui
