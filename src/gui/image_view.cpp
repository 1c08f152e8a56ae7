#include "gui/image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include "core/host.h"
#include "core/program.h"
#include "display/display.h"

namespace kvr::gui {

namespace {

QColor colour(Argb c) {
    return QColor(red_of(c), green_of(c), blue_of(c));
}

}  // namespace

ImageView::ImageView(Program& p, QWidget* parent) : QAbstractScrollArea(parent), p_(p) {
    setObjectName(QStringLiteral("image"));
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    // The window erases its own background with the core's brush.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &ImageView::scrolled);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ImageView::scrolled);
}

void ImageView::sync_from_core() {
    if (painting_) {
        // Showing or hiding a scroll bar resizes the window: not in the middle of a paint.
        if (!sync_pending_) {
            sync_pending_ = true;
            QTimer::singleShot(0, this, [this] {
                sync_pending_ = false;
                sync_from_core();
            });
        }
        return;
    }
    const MainWindowPicture& w = p_.display.window;
    horizontalScrollBar()->setRange(0, w.scroll_range_x);
    verticalScrollBar()->setRange(0, w.scroll_range_y);
    horizontalScrollBar()->setPageStep(std::max(1, viewport()->width()));
    verticalScrollBar()->setPageStep(std::max(1, viewport()->height()));
    horizontalScrollBar()->setValue(w.scroll_x);
    verticalScrollBar()->setValue(w.scroll_y);
    viewport()->update();
}

void ImageView::scrolled() {
    MainWindowPicture& w = p_.display.window;
    w.scroll_x = horizontalScrollBar()->value();
    w.scroll_y = verticalScrollBar()->value();
    viewport()->update();
}

bool ImageView::wrap_picture() {
    const std::optional<DisplayBitmap> bmp = window_bitmap(p_);
    if (!bmp || !bmp->pixels || bmp->width <= 0 || bmp->height <= 0) {
        picture_ = QImage();
        return false;
    }
    // A new picture only after a refresh; in between every paint reuses the wrapper.
    if (picture_.constBits() != bmp->pixels || picture_.width() != bmp->width ||
        picture_.height() != bmp->height || picture_.bytesPerLine() != bmp->stride) {
        picture_ =
            QImage(bmp->pixels, bmp->width, bmp->height, bmp->stride, QImage::Format_Indexed8);
        colours_.clear();
    }
    // The colour table changes with the palette choices; set only when it did.
    bool same = colours_.size() == kPaletteEntries;
    for (int i = 0; same && i < kPaletteEntries; ++i) same = colours_[i] == bmp->colours[i];
    if (!same) {
        colours_ = QList<QRgb>(bmp->colours, bmp->colours + kPaletteEntries);
        picture_.setColorTable(colours_);
    }
    return true;
}

void ImageView::paintEvent(QPaintEvent* event) {
    (void)event;
    painting_ = true;
    // The core's Paint: a pending refresh, the brush, the cross, the pointer reset and the
    // histogram. Its raster is empty: the picture is drawn here from the 8-bit buffer.
    const WindowView view{0, 0, window()->isMinimized()};
    const std::optional<PickCross> cross = paint_window(p_, no_raster_, view);
    const Argb brush = p_.display.window.brush;
    QPainter g(viewport());
    const QRect client = viewport()->rect();
    if (!wrap_picture()) {
        g.fillRect(client, colour(brush));
    } else if (p_.shell.Fit) {
        // Each window pixel takes the nearest picture pixel, as colour-on-colour stretching does.
        g.drawImage(client, picture_);
    } else {
        const MainWindowPicture& w = p_.display.window;
        const QPoint origin(-w.scroll_x, -w.scroll_y);
        g.drawImage(origin, picture_);
        const int right = origin.x() + picture_.width();
        const int bottom = origin.y() + picture_.height();
        g.fillRect(QRect(QPoint(right, 0), client.bottomRight()), colour(brush));
        g.fillRect(QRect(QPoint(0, bottom), client.bottomRight()), colour(brush));
    }
    if (cross) {
        const MainWindowPicture& w = p_.display.window;
        const int x = cross->x - w.scroll_x, y = cross->y - w.scroll_y, arm = PickCross::kArm;
        g.setPen(QPen(colour(PickCross::kColour), 1));
        g.drawLine(x - arm, y, x + arm, y);
        g.drawLine(x, y - arm, x, y + arm);
    }
    painting_ = false;
}

void ImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    window_resized(p_, viewport()->width(), viewport()->height(), window()->isMinimized());
}

bool ImageView::viewportEvent(QEvent* event) {
    // Scroll bars coming or going resize the viewport alone: a fitted picture and the pointer's
    // readout follow the client area it leaves.
    if (event->type() == QEvent::Resize) {
        p_.display.window.client_width = viewport()->width();
        p_.display.window.client_height = viewport()->height();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && p_.mouse.left_up)
        p_.mouse.left_up(p_, at.x(), at.y());
    else if (event->button() == Qt::RightButton && p_.mouse.right_up)
        p_.mouse.right_up(p_, at.x(), at.y());
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    // The pointer says what a click does: measure (cross-hair) or choose the profile's row.
    const Qt::CursorShape shape = p_.display.photometry ? Qt::CrossCursor
                                  : p_.measure.row_plot ? Qt::UpArrowCursor
                                                        : Qt::ArrowCursor;
    if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
    if (!p_.mouse.move) return;
    const QPoint at = event->position().toPoint();
    p_.mouse.move(p_, at.x(), at.y());
}

void ImageView::leaveEvent(QEvent* event) {
    QAbstractScrollArea::leaveEvent(event);
    p_.host.show_pointer({});
}

}  // namespace kvr::gui
