#pragma once
// Application-wide event filter for the stop detection: while the core pumps events it records
// whether a key press or a left or right mouse-button press went by. The events are still
// delivered to their windows.
#include <QObject>

#include "core/host.h"

namespace kvr::gui {

class PressWatch : public QObject {
    Q_OBJECT
  public:
    explicit PressWatch(QObject* parent = nullptr) : QObject(parent) {}

    // Runs pending events as the core's message pump does; reports the presses among them.
    // Presses handled by a nested modal loop (a message box opened from a command) belong to
    // that loop and are not reported.
    Presses pump();
    // A modal loop starts or ends inside a pump: presses in it are not the pump's.
    void enter_modal() { ++modal_depth_; }
    void leave_modal() { --modal_depth_; }
    // Something other than a press must stop the running loop (the main window closing).
    void note_stop() {
        if (pump_depth_ > 0) pressed_.other = true;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int pump_depth_ = 0;
    int modal_depth_ = 0;
    Presses pressed_;
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
