#pragma once
// The main image window (TKorv_qx4Window's client area): paints the core's 8-bit display image
// unscaled at the scroll origin or stretched to fit, the background around it and the pick
// cross, and hands mouse clicks and moves on the image to the core.
#include <QAbstractScrollArea>

namespace kvr {
struct Program;
}

namespace kvr::gui {

class ImageView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    ImageView(Program& p, QWidget* parent);
    // AdjustScroller: scroll ranges for the picture and the client size, back to the origin.
    void adjust_scroller();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    // A window point in image pixels: the scroll origin added.
    QPoint to_image(const QPointF& window_point) const;
    QSize picture_size() const;

    Program& p_;
};

}  // namespace kvr::gui
