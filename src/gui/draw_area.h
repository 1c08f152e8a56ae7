#pragma once
// A dialog's drawing area: shows the picture the model renders for it and reports mouse
// presses in its own pixel coordinates (button 1 left, 2 right) and the pointer's moves (button 0).
#include <QFrame>

#include "core/dialog.h"

namespace kvr::gui {

class DrawArea : public QFrame {
    Q_OBJECT
  public:
    DrawArea(const DialogModel& model, int id, QSize size);

  signals:
    void clicked(int x, int y, int button);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    const DialogModel& model_;
    int id_;
};

}  // namespace kvr::gui
