#include "gui/info_window.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace kvr::gui {

namespace {
// Where the guiding frame is drawn, in window pixels.
constexpr QPoint kFrameOrigin{75, 66};
constexpr int kFieldWidth = 52;
}  // namespace

InfoWindow::InfoWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialog22"));
    setModal(false);
    setFixedSize(250, 215);
    auto* note =
        new QLabel(QStringLiteral("Offsets from top left corner of displayed frame"), this);
    note->setGeometry(6, 4, 240, 18);
    auto* box = new QGroupBox(QStringLiteral("Guiding Frame"), this);
    box->setGeometry(kFrameOrigin.x() - 5, kFrameOrigin.y() - 20, 150, 150);
    box->lower();
    const char* labels[4] = {"x", "y", "dx", "dy"};
    for (int i = 0; i < 4; ++i) {
        const int y = 50 + 36 * i;
        (new QLabel(QString::fromLatin1(labels[i]), this))->setGeometry(4, y, 16, 22);
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(QStringLiteral("edit%1").arg(101 + i));
        fields_[i]->setReadOnly(true);
        fields_[i]->setGeometry(18, y, kFieldWidth - 18, 22);
        // The offsets are guide-frame pixels.
        (new QLabel(QStringLiteral("px"), this))->setGeometry(kFieldWidth + 2, y, 14, 22);
    }
}

void InfoWindow::show_values(const InfoWindowView& v) {
    setWindowTitle(QString::fromStdString(v.caption));
    for (int i = 0; i < 4; ++i) fields_[i]->setText(QString::fromStdString(v.fields[i]));
    has_frame_ = v.has_frame;
    if (has_frame_) {
        // The guiding code rewrites the scratch bitmap before every update.
        frame_.load(QString::fromStdString(v.frame_bitmap_path));
        cross_h_ = QLine(v.cross_h[0], v.cross_h[1], v.cross_h[2], v.cross_h[3]);
        cross_v_ = QLine(v.cross_v[0], v.cross_v[1], v.cross_v[2], v.cross_v[3]);
    }
    update();
}

QString InfoWindow::field(int index) const {
    return fields_[index]->text();
}

void InfoWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!has_frame_) return;
    QPainter painter(this);
    if (!frame_.isNull()) painter.drawImage(kFrameOrigin, frame_);
    painter.setPen(QPen(Qt::red, 1));
    painter.drawLine(cross_h_);
    painter.drawLine(cross_v_);
}

}  // namespace kvr::gui
