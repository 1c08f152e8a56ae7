#include "gui/draw_area.h"

#include <QMouseEvent>
#include <QPainter>

namespace kvr::gui {

DrawArea::DrawArea(const DialogModel& model, int id, QSize size) : model_(model), id_(id) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setObjectName(QStringLiteral("draw%1").arg(id));
    if (size.isValid() && !size.isEmpty()) setFixedSize(size);
}

void DrawArea::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(contentsRect(), palette().base());
}

void DrawArea::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton b = event->button();
    if (b != Qt::LeftButton && b != Qt::RightButton) return;
    const QPoint at = event->position().toPoint();
    emit clicked(at.x(), at.y(), b == Qt::LeftButton ? 1 : 2);
}

}  // namespace kvr::gui
