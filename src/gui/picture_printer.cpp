#include "gui/picture_printer.h"

#include <QImage>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>

#include "core/commands.h"
#include "core/program.h"
#include "display/bmp_export_commands.h"
#include "display/display.h"
#include "gui/press_watch.h"

namespace kvr::gui {

PicturePrinter::PicturePrinter(Program& p, PressWatch& watch, QWidget* parent)
    : p_(p), watch_(watch), parent_(parent) {}

void PicturePrinter::attach_commands() {
    p_.commands.attach(Cmd::PrintSetup, [this](Program&) { setup(); });
    // Like the copy command, printing needs a picture in the window.
    p_.commands.attach(
        Cmd::Print, [this](Program&) { print(); }, can_copy);
}

void PicturePrinter::setup() {
    QPageSetupDialog dialog(&printer_, parent_);
    ModalScope modal(watch_);
    dialog.exec();
}

void PicturePrinter::print() {
    QPrintDialog dialog(&printer_, parent_);
    int accepted = 0;
    {
        ModalScope modal(watch_);
        accepted = dialog.exec();
    }
    if (accepted == QDialog::Accepted) print_to(printer_);
}

bool PicturePrinter::print_to(QPrinter& printer) const {
    const std::optional<DisplayBitmap> bmp = window_bitmap(p_);
    if (!bmp) return false;
    QImage picture(bmp->pixels, bmp->width, bmp->height, bmp->stride, QImage::Format_Indexed8);
    picture.setColorTable(QList<QRgb>(bmp->colours, bmp->colours + kPaletteEntries));
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    // As large as the page allows, keeping the picture's shape, at the top left.
    const QRect page = painter.viewport();
    const QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), picture);
    return painter.end();
}

}  // namespace kvr::gui
