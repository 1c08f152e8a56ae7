// The measuring windows as Qt shows them: modeless beside the main window, several at once,
// their rasters painted as the core drew them, and fed by clicks and moves on the image.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "core/canvas.h"
#include "core/program.h"
#include "gui/image_view.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"
#include "imaging/level_views.h"

namespace kvr::gui::test {

namespace {

QString text_of(ResourceDialog* d, int id) {
    return qobject_cast<QLineEdit*>(d->control(id))->text();
}

// The brightest unsaturated pixel at least 20 pixels from `away` and 12 from the edges.
QPoint brightest_star(const Program& p, QPoint away) {
    const int w = p.geo.width1, h = p.geo.height1;
    QPoint best;
    int peak = -1;
    for (int y = 12; y < h - 12; ++y)
        for (int x = 12; x < w - 12; ++x) {
            const int v = p.buf->image_int[y * w + x];
            if (v < 60000 && v > peak && (QPoint(x, y) - away).manhattanLength() > 20) {
                peak = v;
                best = QPoint(x, y);
            }
        }
    return best;
}

}  // namespace

class MeasureWindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void photometry_histogram_and_blink_open_together() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        s.frame.run_command(Cmd::Histogram);
        s.frame.run_command(Cmd::Photometry);
        s.frame.run_command(Cmd::BlinkComparison);
        MeasureWindows& w = s.p.measure.windows;
        ResourceDialog* hist = s.host.dialog_window(*w.histogram);
        ResourceDialog* phot = s.host.dialog_window(*w.photometry);
        ResourceDialog* blink = s.host.dialog_window(*w.blink);
        QVERIFY(hist && phot && blink);
        for (ResourceDialog* d : {hist, phot, blink}) QVERIFY(d->isVisible() && !d->isModal());

        // The histogram area shows the core's raster.
        QWidget* area = hist->control(kLevelViewArea);
        const QImage painted = area->grab().toImage();
        const Canvas* raster = w.histogram->drawing(kLevelViewArea);
        QCOMPARE(QColor(painted.pixel(5, 100)), QColor(0, 0, 255));
        QCOMPARE(painted.pixel(140, 150) & 0xFFFFFF, raster->at(140, 150) & 0xFFFFFF);

        // A click and a move on the image reach the photometry window.
        QWidget* image = s.frame.image_view()->viewport();
        QTest::mouseClick(image, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QCOMPARE(text_of(phot, 104), QStringLiteral("100"));
        QCOMPARE(text_of(phot, 110), QStringLiteral("  22500"));
        // Sent directly: the platform's own pointer may already rest there.
        QMouseEvent move(QEvent::MouseMove, QPointF(30, 40), image->mapToGlobal(QPointF(30, 40)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(image, &move);
        QCOMPARE(text_of(phot, 1020), QStringLiteral("   9000"));
        QCOMPARE(image->cursor().shape(), Qt::CrossCursor);

        QTest::mouseClick(qobject_cast<QPushButton*>(blink->control(102)), Qt::LeftButton);
        QCOMPARE(blink->windowTitle(), QStringLiteral("Blinking:- Comparison"));
        QTest::mouseClick(qobject_cast<QPushButton*>(phot->control(kIdcCancel)), Qt::LeftButton);
        QVERIFY(wait_until([&] { return s.host.dialog_window(*w.photometry) == nullptr; }));
        QCOMPARE(s.p.display.photometry, 0);
        QVERIFY(hist->isVisible());
    }

    void row_profile_follows_clicks_and_merge_marks_them() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        s.frame.run_command(Cmd::RowProfile);
        ResourceDialog* row = s.host.dialog_window(*s.p.measure.windows.row);
        QVERIFY(row);
        QWidget* image = s.frame.image_view()->viewport();
        QTest::mouseClick(image, Qt::LeftButton, Qt::NoModifier, QPoint(40, 200));
        QCOMPARE(text_of(row, kRowEdit), QStringLiteral("200"));
        // Row 200 of the ramp (45000) stands 117 pixels above the base line.
        const QImage painted = row->control(kLevelViewArea)->grab().toImage();
        QCOMPARE(QColor(painted.pixel(100, 198 - 117)), QColor(128, 128, 128));
        QTest::mouseClick(qobject_cast<QPushButton*>(row->control(kIdcCancel)), Qt::LeftButton);

        s.frame.run_command(Cmd::AddImage);
        ResourceDialog* merge = s.host.dialog_window(*s.p.measure.windows.merge);
        QVERIFY(merge);
        QTest::mouseClick(image, Qt::LeftButton, Qt::NoModifier, QPoint(60, 70));
        QCOMPARE(text_of(merge, 104), QStringLiteral("60"));
        QCOMPARE(text_of(merge, 106), QStringLiteral("70"));
    }

    void photometry_of_two_simulated_stars() {
        Session s;
        s.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.frame));
        when_modal([](QWidget* w) {
            if (auto* d = qobject_cast<ResourceDialog*>(w))
                QTest::mouseClick(d->control(kIdcOk), Qt::LeftButton);
        });
        s.frame.run_command(Cmd::CameraControl);
        // The simulated sky's star in the default focus window, and the brightest other one.
        const QPoint focus_star(188, 129);
        const QPoint other = brightest_star(s.p, focus_star);
        s.frame.run_command(Cmd::Photometry);
        ResourceDialog* phot = s.host.dialog_window(*s.p.measure.windows.photometry);
        QVERIFY(phot);
        QWidget* image = s.frame.image_view()->viewport();
        QTest::mouseClick(image, Qt::RightButton, Qt::NoModifier, focus_star);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(phot->control(102)), Qt::LeftButton);
        QTest::mouseClick(image, Qt::RightButton, Qt::NoModifier, other);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(phot->control(103)), Qt::LeftButton);
        QTest::mouseClick(image, Qt::LeftButton, Qt::NoModifier, QPoint(100, 250));
        QVERIFY(s.p.measure.obj_val > 0 && s.p.measure.comp_val > 0);
        QVERIFY2(!text_of(phot, 113).isEmpty(), qPrintable(text_of(phot, 110)));

        // For people: KVR_GUI_SHOTS=DIR keeps the main window with the photometry window beside it
        // (run under Xvfb).
        if (const QString dir = qEnvironmentVariable("KVR_GUI_SHOTS"); !dir.isEmpty()) {
            s.frame.run_command(
                Cmd::MaxStretchOn);  // the display stretch shows the faint stars too
            const QImage main = s.frame.grab().toImage(), side = phot->grab().toImage();
            QImage both(main.width() + side.width() + 8, std::max(main.height(), side.height()),
                        QImage::Format_RGB32);
            both.fill(QColor(64, 64, 64));
            QPainter painter(&both);
            painter.drawImage(0, 0, main);
            painter.drawImage(main.width() + 8, 0, side);
            painter.end();
            both.save(dir + QStringLiteral("/photometry.png"));
        }
    }
};

KVR_GUI_SUITE(MeasureWindowsTest);

}  // namespace kvr::gui::test

#include "measure_windows_test.moc"
