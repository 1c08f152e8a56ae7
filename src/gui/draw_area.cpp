#include "gui/draw_area.h"

#include <QMouseEvent>
#include <QPainter>

#include "core/canvas.h"

namespace kvr::gui {

DrawArea::DrawArea(const DialogModel& model, int id, QSize size) : model_(model), id_(id) {
    setObjectName(QStringLiteral("draw%1").arg(id));
    if (size.isValid() && !size.isEmpty()) setFixedSize(size);
    // Pointer moves are reported too (button 0): the guider dialog reads out the pixel below.
    setMouseTracking(true);
}

void DrawArea::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const Canvas* canvas = model_.drawing(id_);
    if (!canvas || canvas->width() <= 0 || canvas->height() <= 0) {
        painter.fillRect(contentsRect(), palette().base());
        return;
    }
    // The core's raster is opaque 0xAARRGGBB, rows top first: shown as it is, without a copy.
    const QImage picture(reinterpret_cast<const uchar*>(canvas->pixels()), canvas->width(),
                         canvas->height(), canvas->width() * int(sizeof(Argb)),
                         QImage::Format_RGB32);
    painter.drawImage(0, 0, picture);
}

void DrawArea::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton b = event->button();
    if (b != Qt::LeftButton && b != Qt::RightButton) return;
    const QPoint at = event->position().toPoint();
    emit clicked(at.x(), at.y(), b == Qt::LeftButton ? 1 : 2);
}

void DrawArea::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() != Qt::NoButton) return;
    const QPoint at = event->position().toPoint();
    emit clicked(at.x(), at.y(), 0);
}

}  // namespace kvr::gui
