#include "gui/window_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kvr::gui {

void place_beside(QWidget& window, const QWidget& image) {
    const QScreen* screen = image.screen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    // The frame (title bar, borders) comes on top of the client size.
    const QSize extra = window.frameGeometry().size() - window.size();
    QSize size = window.size().boundedTo(room.size() - extra);
    if (size != window.size()) window.resize(size);
    size += extra;

    const QRect img(image.mapToGlobal(QPoint(0, 0)), image.size());
    const int gap = 4;
    const QPoint tries[] = {
        {img.right() + 1 + gap, img.top()},
        {img.left() - gap - size.width(), img.top()},
        {img.left(), img.bottom() + 1 + gap},
        {img.left(), img.top() - gap - size.height()},
    };
    QPoint at(room.right() + 1 - size.width(), img.top());
    for (const QPoint& p : tries) {
        if (room.contains(QRect(p, size))) {
            at = p;
            break;
        }
    }
    at.setX(std::clamp(at.x(), room.left(), room.right() + 1 - size.width()));
    at.setY(std::clamp(at.y(), room.top(), room.bottom() + 1 - size.height()));
    window.move(at);
}

}  // namespace kvr::gui
