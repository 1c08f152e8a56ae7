#pragma once
// The main image window (the main frame's client area). The core decides what the window shows
// (a pending refresh, the background brush, the pick cross, the scroll ranges); this widget
// paints the core's 8-bit picture itself, wrapped without a copy as an indexed image with its
// colour table, unscaled at the scroll origin or stretched to fit, and hands mouse events on the
// image to the core in window coordinates.
#include <QAbstractScrollArea>
#include <QImage>
#include <QList>

#include "core/canvas.h"

namespace kvr {
struct Program;
}

namespace kvr::gui {

class ImageView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    ImageView(Program& p, QWidget* parent);
    // The core's scroll ranges and origin onto the scroll bars, and a repaint.
    void sync_from_core();
    // The picture as last painted (shares the core's buffer).
    const QImage& picture() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    // Wraps the core's current picture; false when it has none.
    bool wrap_picture();
    void scrolled();

    Program& p_;
    QImage picture_;
    QList<QRgb> colours_;
    // The core paints into this raster; Qt draws the picture, so it stays empty.
    Canvas no_raster_;
    bool painting_ = false;
    bool sync_pending_ = false;
};

}  // namespace kvr::gui
