#include "gui/image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "app/program.h"

namespace kvr::gui {

namespace {
const QColor kBackground(192, 192, 192);
}

ImageView::ImageView(Program& p, QWidget* parent) : QAbstractScrollArea(parent), p_(p) {
    setObjectName(QStringLiteral("image"));
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    adjust_scroller();
}

QSize ImageView::picture_size() const {
    return {};
}

void ImageView::adjust_scroller() {
    const QSize picture = picture_size();
    const QSize client = viewport()->size();
    const bool fit = p_.shell.Fit != 0;
    horizontalScrollBar()->setRange(0, fit ? 0 : std::max(0, picture.width() - client.width()));
    verticalScrollBar()->setRange(0, fit ? 0 : std::max(0, picture.height() - client.height()));
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setPageStep(client.height());
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void ImageView::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), kBackground);
}

void ImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    adjust_scroller();
}

QPoint ImageView::to_image(const QPointF& window_point) const {
    return window_point.toPoint() +
           QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = to_image(event->position());
    if (event->button() == Qt::LeftButton && p_.mouse.left_up)
        p_.mouse.left_up(p_, at.x(), at.y());
    else if (event->button() == Qt::RightButton && p_.mouse.right_up)
        p_.mouse.right_up(p_, at.x(), at.y());
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    if (!p_.mouse.move) return;
    const QPoint at = to_image(event->position());
    p_.mouse.move(p_, at.x(), at.y());
}

}  // namespace kvr::gui
