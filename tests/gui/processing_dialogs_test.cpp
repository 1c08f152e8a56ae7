// The adjustment dialogs drawn by the generic resource dialog: the Normal Stretch dialog with
// its histogram and markers, the Median Filter's power steps, and the modeless Stretch Display
// window driving the display while it stays open.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "core/program.h"
#include "display/display.h"
#include "gui/main_frame.h"
#include "gui/qt_host.h"
#include "gui/resource_dialog.h"
#include "gui_test_support.h"
#include "imaging/stretch_dialog.h"
#include "imaging/tone_curves.h"

namespace kvr::gui::test {

namespace {

ResourceDialog* titled(QWidget* w, const char* title) {
    auto* d = qobject_cast<ResourceDialog*>(w);
    if (!d || d->windowTitle() != QLatin1String(title)) {
        qWarning("expected the dialog \"%s\"", title);
        if (w) w->close();
        return nullptr;
    }
    return d;
}

QScrollBar* bar(ResourceDialog* d, int id) {
    return qobject_cast<QScrollBar*>(d->control(id));
}

QString edit_text(ResourceDialog* d, int id) {
    return qobject_cast<QLineEdit*>(d->control(id))->text();
}

}  // namespace

class ProcessingDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void normal_stretch_moves_its_marker_and_stretches_on_ok() {
        Session s;
        const std::vector<uint16_t> before(s.p.ptr.image, s.p.ptr.image + s.p.geo.intlength);
        int white_max = 0, white_pos = 0;
        QString white_after;
        QRgb marker = 0, old_place = 0;
        when_modal([&](QWidget* w) {
            ResourceDialog* d = titled(w, "Normal Stretch");
            if (!d) return;
            white_max = bar(d, 103)->maximum();
            white_pos = bar(d, 103)->value();
            bar(d, 103)->triggerAction(QAbstractSlider::SliderSingleStepSub);
            bar(d, 103)->triggerAction(QAbstractSlider::SliderPageStepSub);
            white_after = edit_text(d, 104);
            const QImage picture = d->control(kStretchHistogramArea)->grab().toImage();
            marker = picture.pixel(244 + 8, 225);
            old_place = picture.pixel(255 + 8, 225);
            QTest::mouseClick(d->control(kIdcOk), Qt::LeftButton);
        });
        s.frame.run_command(Cmd::ContrastNormal);
        QCOMPARE(white_max, 300);
        QCOMPARE(white_pos, 255);
        QCOMPARE(white_after, QStringLiteral("244"));
        QCOMPARE(qGray(marker), 0);       // the arrow at the new white point
        QCOMPARE(qGray(old_place), 255);  // the strip under the old one cleared
        uint16_t table[kToneTableEntries];
        normal_curve(table, 0, 244);
        for (int i = 0; i < s.p.geo.width1 * s.p.geo.height1; i += 97)
            QCOMPARE(s.p.ptr.image[i], uint16_t(2 * table[before[i] >> 1]));
        QCOMPARE(QString::fromLatin1(s.p.shell.process_info[0]),
                 QStringLiteral("Normal Stretch : max 244 ,min 0"));
    }

    void median_power_shows_in_tenths_and_cancel_keeps_the_image() {
        Session s;
        const uint16_t corner = s.p.ptr.image[0];
        QString first, stepped;
        when_modal([&](QWidget* w) {
            ResourceDialog* d = titled(w, "Median Filter");
            if (!d) return;
            first = edit_text(d, 102);
            bar(d, 104)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            stepped = edit_text(d, 102);
            d->reject();
        });
        s.frame.run_command(Cmd::Median);
        QCOMPARE(first, QStringLiteral(".6"));
        QCOMPARE(stepped, QStringLiteral("0.7"));
        QCOMPARE(s.p.ptr.image[0], corner);
        QCOMPARE(s.p.shell.process_info[0][0], '\0');
    }

    void stretch_display_stays_open_and_drives_the_display() {
        Session s;
        s.frame.run_command(Cmd::StretchDisplayDialog);
        ResourceDialog* d = s.host.dialog_window(*s.p.processing.stretch_display_dialog);
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QVERIFY(!d->isModal());
        QCOMPARE(edit_text(d, 21006), QStringLiteral("25"));
        bar(d, 21005)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(s.p.display.max_stretch_mult, 50.0);
        QCOMPARE(edit_text(d, 21006), QStringLiteral("50"));
        // Switching the stretch on rebuilds the picture: dark rows of the ramp are lifted.
        const auto shown_at = [&](int row) {
            const std::optional<DisplayBitmap> b = window_bitmap(s.p);
            return b ? int(b->pixels[size_t(row) * b->stride]) : -1;
        };
        const int dark_before = shown_at(20);
        QTest::mouseClick(d->control(21002), Qt::LeftButton);
        QCOMPARE(s.p.display.max_stretch, 1);
        QVERIFY(qobject_cast<QCheckBox*>(d->control(21002))->isChecked());
        QVERIFY(shown_at(20) > dark_before);
        QTest::mouseClick(d->control(kIdcOk), Qt::LeftButton);
        QVERIFY(wait_until(
            [&] { return !s.host.dialog_window(*s.p.processing.stretch_display_dialog); }));
    }
};

KVR_GUI_SUITE(ProcessingDialogsTest);

}  // namespace kvr::gui::test

#include "processing_dialogs_test.moc"
