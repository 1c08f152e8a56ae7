#pragma once
// The guiding information window ("Guiding Info", resource 22): the guide star's position and
// error, and the last guiding frame with a cross on the star.
#include <QDialog>
#include <QImage>

#include "core/host.h"

class QLineEdit;

namespace kvr::gui {

class InfoWindow : public QDialog {
    Q_OBJECT
  public:
    explicit InfoWindow(QWidget* parent);
    void show_values(const InfoWindowView& view);
    QString field(int index) const;
    const QImage& frame_image() const { return frame_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QLineEdit* fields_[4];
    QImage frame_;
    bool has_frame_ = false;
    QLine cross_h_, cross_v_;
};

}  // namespace kvr::gui
